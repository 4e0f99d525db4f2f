// The skin file: an optional text file of colour lines beside the program, for example
//
//   ; comments start with a semicolon
//   window     = #F0F4F8
//   text       = #1A2B3C
//   list       = #FFFFFF
//   list-text  = #000000
//   statusbar  = #DDE4EC
//
// A file that is missing, empty, too large, binary or not entirely made of such lines leaves
// the native look: the skin is all or nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

struct SkinColors {
    // 0x00RRGGBB, or nothing when the file leaves that part native.
    std::optional<uint32_t> window, text, list, listText, statusBar;
};

inline constexpr size_t kMaxSkinFileBytes = 64 * 1024;

// Parses the file's bytes (UTF-8 or ASCII). Returns nothing when the file is to be ignored.
std::optional<SkinColors> ParseSkinFile(std::string_view bytes);

// The skin file's path: the program's directory followed at once by "/skinh.she". The
// directory has no trailing separator, except a drive's root ("C:\"), which keeps its own.
std::u16string SkinFilePath(const std::u16string& programPath);

}  // namespace varnel

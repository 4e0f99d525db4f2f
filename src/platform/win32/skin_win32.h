// The skin: colours read from the optional skin file, applied by the window as it paints.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/skin_file.h"

namespace varnel::win32 {

// Reads and applies the skin file. Returns 1 when a skin is in effect, 0 when the native look
// stays (no file, unreadable, or not a valid skin). Never fails.
int AttachSkin(const std::u16string& path, const std::u16string& options);

// A skin colour (0x00RRGGBB) as GDI wants it.
inline COLORREF ToColorRef(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The skin in effect, or null for the native look.
const SkinColors* ActiveSkin();

}  // namespace varnel::win32

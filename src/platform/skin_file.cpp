#include "platform/skin_file.h"

#include <algorithm>

namespace varnel {

namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::optional<uint32_t> ParseColor(std::string_view value) {
    if (value.size() != 7 || value[0] != '#') {
        return std::nullopt;
    }
    uint32_t rgb = 0;
    for (char c : value.substr(1)) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        rgb = rgb * 16 + digit;
    }
    return rgb;
}

}  // namespace

std::optional<SkinColors> ParseSkinFile(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > kMaxSkinFileBytes ||
        bytes.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    SkinColors colors;
    bool any = false;
    while (!bytes.empty()) {
        const size_t end = std::min(bytes.find('\n'), bytes.size());
        const std::string_view line = Trim(bytes.substr(0, end));
        bytes.remove_prefix(std::min(end + 1, bytes.size()));
        if (line.empty() || line.front() == ';') {
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = Trim(line.substr(0, equals));
        const std::optional<uint32_t> color = ParseColor(Trim(line.substr(equals + 1)));
        if (!color) {
            return std::nullopt;
        }
        if (key == "window") {
            colors.window = color;
        } else if (key == "text") {
            colors.text = color;
        } else if (key == "list") {
            colors.list = color;
        } else if (key == "list-text") {
            colors.listText = color;
        } else if (key == "statusbar") {
            colors.statusBar = color;
        } else {
            return std::nullopt;
        }
        any = true;
    }
    if (!any) {
        return std::nullopt;
    }
    return colors;
}

std::u16string SkinFilePath(const std::u16string& programPath) {
    const size_t slash = programPath.find_last_of(u"\\/");
    std::u16string directory =
        slash == std::u16string::npos ? std::u16string() : programPath.substr(0, slash);
    if (directory.size() == 2 && directory[1] == u':') {
        directory += u'\\';  // a drive's root keeps its backslash
    }
    return directory + u"/skinh.she";
}

}  // namespace varnel

#include "platform/win32/ansi_code_page_win32.h"

#include <windows.h>

namespace varnel::win32 {

int16_t Win32AnsiCodePage::CodeOf(char16_t unit) const {
    const wchar_t wide = static_cast<wchar_t>(unit);
    char bytes[2] = {};
    const int length =
        WideCharToMultiByte(CP_ACP, 0, &wide, 1, bytes, sizeof bytes, nullptr, nullptr);
    if (length == 1) {
        return static_cast<uint8_t>(bytes[0]);
    }
    if (length == 2) {
        const auto code = static_cast<uint16_t>(static_cast<uint8_t>(bytes[0]) * 256 +
                                                static_cast<uint8_t>(bytes[1]));
        return static_cast<int16_t>(code);
    }
    return '?';  // no conversion at all: treat it as the code page's replacement
}

}  // namespace varnel::win32

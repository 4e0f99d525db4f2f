// UTF-16 text between portable code (std::u16string) and the wide Win32 API (wchar_t).
#pragma once

#include <windows.h>

#include <string>

namespace varnel::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string FromWide(const wchar_t* text, size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

inline std::u16string FromWide(const std::wstring& text) {
    return FromWide(text.data(), text.size());
}

// The system's text for an error code, without the trailing line break.
std::u16string SystemErrorText(DWORD error);

// Throws PlatformError for the operation with the text of the thread's last error.
[[noreturn]] void ThrowLastError(const std::u16string& operation);

}  // namespace varnel::win32

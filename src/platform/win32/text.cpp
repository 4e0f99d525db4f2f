#include "platform/win32/text.h"

#include "platform/platform_error.h"

namespace varnel::win32 {

std::u16string SystemErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD length =
        FormatMessageW(flags, nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER a text comes with its buffer, and no text with none.
    if (length == 0) {
        // WinHTTP and other modules keep their texts in their own DLLs.
        HMODULE winhttp = GetModuleHandleW(L"winhttp.dll");
        if (winhttp != nullptr) {
            length = FormatMessageW(flags | FORMAT_MESSAGE_FROM_HMODULE, winhttp, error, 0,
                                    reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        }
    }
    std::u16string text;
    if (length != 0) {
        text = FromWide(buffer, length);
        while (!text.empty() &&
               (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
            text.pop_back();
        }
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    const std::u16string code = u"(" + [error] {
        std::string digits = std::to_string(error);
        return std::u16string(digits.begin(), digits.end());
    }() + u")";
    return text.empty() ? u"error " + code : text + u" " + code;
}

void ThrowLastError(const std::u16string& operation) {
    const DWORD error = GetLastError();
    throw PlatformError(operation, SystemErrorText(error));
}

}  // namespace varnel::win32

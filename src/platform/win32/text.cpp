#include "platform/win32/text.h"

#include "platform/platform_error.h"
#include "platform/win32/scoped_handle.h"

namespace varnel::win32 {

std::u16string SystemErrorText(DWORD error) {
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER a text comes with its buffer, and no text with none.
    const auto format = [&](DWORD from, HMODULE module, ScopedLocal<wchar_t>& text) {
        wchar_t* buffer = nullptr;
        const DWORD length = FormatMessageW(flags | from, module, error, 0,
                                            reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        text.reset(buffer);
        return length;
    };
    ScopedLocal<wchar_t> buffer;
    DWORD length = format(0, nullptr, buffer);
    if (length == 0) {
        // WinHTTP and other modules keep their texts in their own DLLs.
        HMODULE winhttp = GetModuleHandleW(L"winhttp.dll");
        if (winhttp != nullptr) {
            length = format(FORMAT_MESSAGE_FROM_HMODULE, winhttp, buffer);
        }
    }
    std::u16string text;
    if (length != 0) {
        text = FromWide(buffer.get(), length);
        while (!text.empty() &&
               (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
            text.pop_back();
        }
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

#include "platform/win32/clipboard_win32.h"

#include <windows.h>

#include "platform/platform_error.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

namespace {

constexpr int kOpenAttempts = 11;
constexpr DWORD kOpenRetryMs = 10;

class OpenedClipboard {
public:
    OpenedClipboard() {
        for (int attempt = 1; !OpenClipboard(nullptr); ++attempt) {
            const DWORD error = GetLastError();
            if (attempt == kOpenAttempts) {
                throw PlatformError(u"打开剪贴板", SystemErrorText(error));
            }
            Sleep(kOpenRetryMs);
        }
    }
    ~OpenedClipboard() { CloseClipboard(); }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
};

}  // namespace

void Win32Clipboard::Empty() {
    const OpenedClipboard opened;
    if (!EmptyClipboard()) {
        ThrowLastError(u"清空剪贴板");
    }
}

}  // namespace varnel::win32

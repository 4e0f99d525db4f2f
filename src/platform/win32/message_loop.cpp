#include "platform/win32/message_loop.h"

namespace varnel::win32 {

namespace {
HWND g_dialogWindow = nullptr;
}

void SetDialogWindow(HWND window) {
    g_dialogWindow = window;
}

void TranslateAndDispatch(MSG& message) {
    if (g_dialogWindow != nullptr && IsWindow(g_dialogWindow) &&
        IsDialogMessageW(g_dialogWindow, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace varnel::win32

#include "platform/win32/message_loop.h"

namespace varnel::win32 {

void TranslateAndDispatch(HWND dialog, MSG& message) {
    if (dialog != nullptr && IsWindow(dialog) && IsDialogMessageW(dialog, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace varnel::win32

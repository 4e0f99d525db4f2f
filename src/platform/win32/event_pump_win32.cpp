#include "platform/win32/event_pump_win32.h"

#include <windows.h>

#include "platform/win32/message_loop.h"

namespace varnel::win32 {

void Win32EventPump::WaitForEvents(uint32_t timeoutMs) {
    MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

bool Win32EventPump::DispatchPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        TranslateAndDispatch(dialog_, message);
    }
    return true;
}

}  // namespace varnel::win32

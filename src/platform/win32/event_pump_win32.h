// Waiting for and dispatching this thread's window messages from inside a handler.
#pragma once

#include <windows.h>

#include "platform/clock.h"

namespace varnel::win32 {

class Win32EventPump : public EventPump {
public:
    // The top-level window whose keyboard navigation the pump's dispatch handles (null: none).
    void SetDialogWindow(HWND dialog) { dialog_ = dialog; }

    // Sleeps until input or a message is in the queue (including ones already seen but not yet
    // removed) or the time-out passes.
    void WaitForEvents(uint32_t timeoutMs) override;
    // Dispatches the queued messages through the main loop's translation, so keyboard navigation
    // works as in the main loop. A WM_QUIT is put back for the main loop and ends the pass.
    bool DispatchPending() override;

private:
    HWND dialog_ = nullptr;
};

}  // namespace varnel::win32

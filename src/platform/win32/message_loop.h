// Translation and dispatch of one message, shared by the main loop and every nested loop, so
// that Tab, Shift+Tab and the menus work the same while a handler waits.
#pragma once

#include <windows.h>

namespace varnel::win32 {

// Runs the message through IsDialogMessageW for dialog, the top-level window whose keyboard
// navigation it handles (null for none), else translates and dispatches it.
void TranslateAndDispatch(HWND dialog, MSG& message);

}  // namespace varnel::win32

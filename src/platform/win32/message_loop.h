// Translation and dispatch of one message, shared by the main loop and every nested loop, so
// that Tab, Shift+Tab and the menus work the same while a handler waits.
#pragma once

#include <windows.h>

namespace varnel::win32 {

// Marks a further top-level window (the holders window) for dialog keys (Tab, Esc) while it
// exists; the mark is a property of the window itself, removed before it is destroyed.
void EnableDialogKeys(HWND window);
void DisableDialogKeys(HWND window);

// Runs the message through IsDialogMessageW for the top-level window it belongs to when that is
// dialog (the main window, null for none) or a window marked for dialog keys, else translates
// and dispatches it.
void TranslateAndDispatch(HWND dialog, MSG& message);

}  // namespace varnel::win32

// Translation and dispatch of one message, shared by the main loop and every nested loop, so
// that Tab, Shift+Tab and the menus work the same while a handler waits.
#pragma once

#include <windows.h>

namespace varnel::win32 {

// The top-level window whose keyboard navigation IsDialogMessageW handles; null for none.
void SetDialogWindow(HWND window);

// Further top-level windows with dialog keys (Tab, Esc), added while they exist.
void AddDialogWindow(HWND window);
void RemoveDialogWindow(HWND window);

// Runs the message through IsDialogMessageW for the dialog window it belongs to, else translates
// and dispatches it.
void TranslateAndDispatch(MSG& message);

}  // namespace varnel::win32

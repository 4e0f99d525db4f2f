// Entry point: the main window and its message loop.
#include <windows.h>

#include <commctrl.h>

#include "app/main_window.h"
#include "platform/win32/message_loop.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // DLLs come from the system folder only, never from the program's folder or the current
    // directory, where anyone who can drop a file next to a download could plant one.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    varnel::win32::MainWindow form1;
    if (!form1.Create(instance)) {
        return 1;
    }
    varnel::win32::SetDialogWindow(form1.Handle());

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        varnel::win32::TranslateAndDispatch(message);
    }
    form1.OnExit();
    return static_cast<int>(message.wParam);
}

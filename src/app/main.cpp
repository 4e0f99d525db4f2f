// Entry point: the main window and its message loop.
#include <windows.h>

#include <commctrl.h>

#include "app/main_window.h"
#include "platform/win32/message_loop.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
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
    return static_cast<int>(message.wParam);
}

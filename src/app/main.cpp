// Entry point and composition root: the real system services, the main window built on them,
// and the message loop.
#include <windows.h>

#include <commctrl.h>

#include "app/controls_win32.h"
#include "app/main_window.h"
#include "platform/win32/ansi_code_page_win32.h"
#include "platform/win32/clipboard_win32.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/event_pump_win32.h"
#include "platform/win32/message_loop.h"
#include "platform/win32/program_starter_win32.h"
#include "platform/win32/toolhelp_processes.h"
#include "platform/win32/winhttp_transport.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // DLLs come from the system folder only, never from the program's folder or the current
    // directory, where anyone who can drop a file next to a download could plant one. With the
    // default directories set, neither folder is searched at all.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    using namespace varnel::win32;
    ToolhelpProcessTable processes;
    Win32Clipboard clipboard;
    Win32ProgramStarter starter;
    TickClock clock;
    Win32EventPump pump;
    // The check's exchange may still run when the window has gone and this function returns:
    // its transport lives as long as the process.
    WinHttpTransport& transport = *new WinHttpTransport();
    Win32AnsiCodePage codePage;
    HWND owner = nullptr;  // the main window, once it exists
    OwnedMessageBoxes boxes{owner};
    UserTimeOfDay timeOfDay;
    ImmediateExit exit;
    MainWindow form1{
        {processes, clipboard, starter, clock, pump, transport, codePage, boxes, timeOfDay, exit}};
    if (!form1.Create(instance)) {
        return 1;
    }
    owner = form1.Handle();
    pump.SetDialogWindow(form1.Handle());

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateAndDispatch(form1.Handle(), message);
    }
    form1.OnExit();
    return static_cast<int>(message.wParam);
}

// Entry point and composition root: the real system services, the main window built on them,
// and the message loop.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/controls_win32.h"
#include "app/holder_workers.h"
#include "app/holders_window.h"
#include "app/main_window.h"
#include "platform/win32/ansi_code_page_win32.h"
#include "platform/win32/clipboard_win32.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/device_eject_win32.h"
#include "platform/win32/drives_win32.h"
#include "platform/win32/dynamic_calls_win32.h"
#include "platform/win32/event_pump_win32.h"
#include "platform/win32/holder_scanner_win32.h"
#include "platform/win32/message_loop.h"
#include "platform/win32/program_starter_win32.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/shell_starter_win32.h"
#include "platform/win32/shell_windows_win32.h"
#include "platform/win32/text.h"
#include "platform/win32/toolhelp_processes.h"
#include "platform/win32/veto_log_win32.h"
#include "platform/win32/volume_users_win32.h"
#include "platform/win32/volumes_win32.h"
#include "platform/win32/winhttp_transport.h"

namespace {

// How long the program waits at its end for a look or an eject still under way.
constexpr DWORD kWorkerExitWaitMs = 3000;

// The command line's arguments after the program's name. shell32, which splits them, is loaded
// only when there are any: a plain start does not pay for it.
std::vector<std::u16string> Arguments() {
    const wchar_t* line = GetCommandLineW();
    // The program's name: up to the closing quote when quoted, else up to the first blank.
    if (*line == L'"') {
        line = wcschr(line + 1, L'"');
        line = line != nullptr ? line + 1 : L"";
    }
    line += wcscspn(line, L" \t");
    if (line[wcsspn(line, L" \t")] == L'\0') {
        return {};
    }
    std::vector<std::u16string> arguments;
    int count = 0;
    const varnel::win32::ScopedLocal<wchar_t*> values(
        varnel::win32::Shell32().commandLineToArgv(GetCommandLineW(), &count));
    for (int i = 1; values != nullptr && i < count; ++i) {
        arguments.push_back(varnel::win32::FromWide(values.get()[i], wcslen(values.get()[i])));
    }
    return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // DLLs come from the system folder only, never from the program's folder or the current
    // directory, where anyone who can drop a file next to a download could plant one. With the
    // default directories set, neither folder is searched at all.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    // The holders window's list and progress bar classes are registered when it first opens.
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

    // The menu 占用查询 and the holders windows, on services of their own.
    DrivesWin32 drives;
    HolderScannerWin32 scanner{processes};
    DeviceEjectWin32 devices;
    ShellStarterWin32 shell;
    SystemWindowBoxes windowBoxes;
    VolumesWin32 volumes;
    VetoLogWin32 vetoes;
    ShellWindowsWin32 shellWindows;
    VolumeUsersWin32 volumeUsers;
    HoldersMenu holders{
        {{drives, scanner, processes, starter, clock, devices, vetoes, shellWindows, volumeUsers},
         volumes,
         shell,
         windowBoxes}};
    holders.Attach(form1.Handle());
    if (const auto letter = varnel::holders::ParseHoldersArguments(Arguments())) {
        holders.Open(*letter);
    }

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateAndDispatch(form1.Handle(), message);
    }
    form1.OnExit();
    const int code = static_cast<int>(message.wParam);
    // A holders worker still running uses the services above: the program ends without taking
    // them down under it.
    if (!WaitForHolderWorkers(kWorkerExitWaitMs)) {
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    }
    return code;
}

// unplug.exe: the composition root of the console program. It builds the real services and
// hands them to the commands.
#include <windows.h>

#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "holders/console_commands.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/console_input_win32.h"
#include "platform/win32/console_output_win32.h"
#include "platform/win32/device_eject_win32.h"
#include "platform/win32/drives_win32.h"
#include "platform/win32/holder_scanner_win32.h"
#include "platform/win32/program_starter_win32.h"
#include "platform/win32/shell_windows_win32.h"
#include "platform/win32/text.h"
#include "platform/win32/toolhelp_processes.h"
#include "platform/win32/veto_log_win32.h"
#include "platform/win32/volume_users_win32.h"
#include "platform/win32/volumes_win32.h"

int wmain(int argc, wchar_t** argv) {
    // DLLs only from System32: never a planted copy beside the program or in the current folder.
    // With the default directories set, neither folder is searched at all.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    using namespace varnel;
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(win32::FromWide(argv[i], wcslen(argv[i])));
    }
    win32::ConsoleOutputWin32 output;
    win32::DrivesWin32 drives;
    win32::ToolhelpProcessTable processes;
    win32::HolderScannerWin32 scanner{processes};
    win32::Win32ProgramStarter starter;
    win32::DeviceEjectWin32 devices;
    win32::TickClock clock;
    win32::VolumesWin32 volumes;
    win32::ConsoleInputWin32 input;
    win32::VetoLogWin32 vetoes;
    win32::ShellWindowsWin32 shell;
    win32::VolumeUsersWin32 volumeUsers;
    holders::ConsoleServices services{drives, scanner, processes, starter, devices, clock,
                                      output, volumes, input,     vetoes,  shell,   volumeUsers};
    try {
        return holders::RunConsole(arguments, services);
    } catch (const std::exception& error) {
        // Anything the commands did not expect (memory exhausted, ...) still ends in an error
        // code and a line, never in a crash box.
        const std::string what = error.what();
        output.Err(u"内部错误: " + std::u16string(what.begin(), what.end()) + u"\n");
        return holders::kExitError;
    }
}

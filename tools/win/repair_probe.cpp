// Checks the Win32 services of the repair actions against the running system, one mode at a
// time; prints what it saw (UTF-8) and exits 0 when everything was as expected.
//
//   repair_probe kill <empty folder>  copies sleeper.exe (beside this program) as rundll32.exe,
//                                     RunDll32.EXE and look-alikes, ends "rundll32.exe"
//   repair_probe start                starts explorer.exe (2), the safe-removal command line (1)
//                                     and a missing program; put recorder copies beside this exe
//   repair_probe clipboard            empties a filled clipboard, also while another thread holds
//                                     it for a moment, and fails when it holds it too long
//   repair_probe lower                lower-cases names through the system
//   repair_probe wait                 waits with window messages arriving, then with a quit
#include <windows.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform_error.h"
#include "platform/win32/clipboard_win32.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/event_pump_win32.h"
#include "platform/win32/program_starter_win32.h"
#include "platform/win32/text.h"
#include "platform/win32/toolhelp_processes.h"
#include "repair/kill_process.h"
#include "repair/responsive_wait.h"

namespace {

using varnel::win32::FromWide;
using varnel::win32::Wide;

void Print(const std::u16string& text) {
    const std::wstring wide(reinterpret_cast<const wchar_t*>(text.c_str()), text.size());
    std::string bytes(wide.size() * 3 + 2, '\0');
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                            static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.resize(static_cast<size_t>(size));
    bytes += "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

std::u16string U(const wchar_t* text) {
    return FromWide(text, std::wcslen(text));
}

std::wstring OwnDirectory() {
    wchar_t path[MAX_PATH];
    const std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return exe.substr(0, exe.find_last_of(L'\\') + 1);
}

int Kill(const std::wstring& folder) {
    struct Copy {
        std::wstring relative;
        bool shouldEnd;
        HANDLE process = nullptr;
    };
    std::vector<Copy> copies{{L"a\\rundll32.exe", true},   {L"b\\RunDll32.EXE", true},
                             {L"c\\rundll32.exe", true},   {L"myrundll32.exe", false},
                             {L"rundll32.exe.bak", false}, {L"c\\rundll32.exe.exe", false}};
    const std::wstring sleeper = OwnDirectory() + L"sleeper.exe";
    for (Copy& copy : copies) {
        const std::wstring path = folder + L"\\" + copy.relative;
        CreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str(), nullptr);
        if (!CopyFileW(sleeper.c_str(), path.c_str(), FALSE)) {
            Print(u"cannot copy to " + U(path.c_str()));
            return 1;
        }
        // The application name is given in full, so the copy starts whatever its extension.
        std::wstring commandLine = L"\"" + path + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &started)) {
            Print(u"cannot start " + U(path.c_str()) + u": " +
                  varnel::win32::SystemErrorText(GetLastError()));
            return 1;
        }
        CloseHandle(started.hThread);
        copy.process = started.hProcess;
    }

    varnel::win32::ToolhelpProcessTable table;
    table.ForEachProcess([](const varnel::ProcessRecord& process) {
        if (process.imageName.find(u"ll32") != std::u16string::npos) {
            Print(u"snapshot: " + process.imageName);
        }
    });
    varnel::KillProcess(table, u"rundll32.exe");

    bool asExpected = true;
    for (Copy& copy : copies) {
        const bool ended = WaitForSingleObject(copy.process, 3000) == WAIT_OBJECT_0;
        DWORD exitCode = 0;
        GetExitCodeProcess(copy.process, &exitCode);
        Print(U(copy.relative.c_str()) + (ended ? u": ended, exit code " : u": running") +
              (ended ? FromWide(std::to_wstring(exitCode)) : u""));
        asExpected = asExpected && ended == copy.shouldEnd && (!ended || exitCode == 0);
        TerminateProcess(copy.process, 1);
        CloseHandle(copy.process);
    }
    return asExpected ? 0 : 1;
}

int Start() {
    varnel::win32::Win32ProgramStarter starter;
    starter.Start(u"explorer.exe", varnel::kShowMinimized);
    starter.Start(u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll", varnel::kShowNormal);
    try {
        starter.Start(u"no_such_program_here.exe /x", varnel::kShowNormal);
        Print(u"a missing program started?");
        return 1;
    } catch (const varnel::PlatformError& error) {
        Print(u"missing program: " + error.Operation() + u" | " + error.Detail());
    }
    return 0;
}

bool PutText(const wchar_t* text) {
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(memory), text, bytes);
    GlobalUnlock(memory);
    const bool ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return ok;
}

// Empties the clipboard while another thread holds it open for holdMs.
bool EmptyWhileHeld(DWORD holdMs, std::u16string& failure) {
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        // Opened for a window: the clipboard is then refused to other windows and to none.
        const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                            nullptr, nullptr);
        OpenClipboard(window);
        SetEvent(opened);
        Sleep(holdMs);
        CloseClipboard();
        DestroyWindow(window);
    });
    WaitForSingleObject(opened, INFINITE);
    bool ok = true;
    try {
        varnel::win32::Win32Clipboard().Empty();
    } catch (const varnel::PlatformError& error) {
        failure = error.Operation() + u" | " + error.Detail();
        ok = false;
    }
    holder.join();
    CloseHandle(opened);
    return ok;
}

int Clipboard() {
    bool asExpected = PutText(L"held by the probe");
    varnel::win32::Win32Clipboard().Empty();
    const bool gone = !IsClipboardFormatAvailable(CF_UNICODETEXT);
    Print(gone ? u"emptied" : u"text still there");
    asExpected = asExpected && gone;

    std::u16string failure;
    PutText(L"again");
    const bool afterShortHold = EmptyWhileHeld(40, failure);
    Print(afterShortHold ? u"held 40 ms: emptied" : u"held 40 ms: " + failure);
    const bool afterLongHold = EmptyWhileHeld(400, failure);
    Print(afterLongHold ? u"held 400 ms: emptied?" : u"held 400 ms: " + failure);
    return asExpected && afterShortHold && !afterLongHold ? 0 : 1;
}

int Lower() {
    varnel::win32::ToolhelpProcessTable table;
    bool asExpected = true;
    for (const auto& [name, expected] :
         std::vector<std::pair<std::u16string, std::u16string>>{{u"Explorer.EXE", u"explorer.exe"},
                                                                {u"RUNDLL32.EXE", u"rundll32.exe"},
                                                                {u"ДИСК.EXE", u"диск.exe"},
                                                                {u"ÄÖÜ.Exe", u"äöü.exe"},
                                                                {u"", u""}}) {
        const std::u16string lower = table.ToLower(name);
        Print(name + u" -> " + lower);
        asExpected = asExpected && lower == expected;
    }
    return asExpected ? 0 : 1;
}

int g_handled = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        ++g_handled;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int Wait() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"repair_probe";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowExW(0, L"repair_probe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, nullptr, nullptr);
    varnel::win32::WinmmClock clock;
    varnel::win32::Win32EventPump pump;
    varnel::ResponsiveWait wait(clock, pump);

    // A message posted from another thread mid-wait is handled inside the wait.
    std::thread poster([window] {
        Sleep(100);
        PostMessageW(window, WM_APP, 0, 0);
    });
    uint32_t start = clock.Now();
    const bool full = wait.WaitMs(300);
    const uint32_t waited = clock.Now() - start;
    poster.join();
    Print(u"300 ms wait: " + FromWide(std::to_wstring(waited)) + u" ms, handled " +
          FromWide(std::to_wstring(g_handled)));

    // A quit request ends the wait at once and is still there for the main loop.
    PostQuitMessage(7);
    start = clock.Now();
    const bool quitEnded = !wait.WaitMs(2000);
    const uint32_t quitWaited = clock.Now() - start;
    MSG message{};
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    Print(u"quit: wait ended after " + FromWide(std::to_wstring(quitWaited)) +
          u" ms, main loop then sees WM_QUIT " + FromWide(std::to_wstring(message.wParam)));
    DestroyWindow(window);
    return full && waited >= 300 && g_handled == 1 && quitEnded && quitWaited < 100 && got == 0 &&
                   message.wParam == 7
               ? 0
               : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"kill" && argc > 2)
        return Kill(argv[2]);
    if (mode == L"start")
        return Start();
    if (mode == L"clipboard")
        return Clipboard();
    if (mode == L"lower")
        return Lower();
    if (mode == L"wait")
        return Wait();
    Print(u"usage: repair_probe kill <folder> | start | clipboard | lower | wait");
    return 2;
}

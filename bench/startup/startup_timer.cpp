// Starts a program N times and prints the milliseconds from CreateProcessW until a moment of its
// start-up, then ends it:
//   startup_timer.exe PROGRAM N          until its first visible top-level window exists
//   startup_timer.exe PROGRAM N ready    until its start-up version check is over: the five
//                                        buttons are enabled, or a message box of the program
//                                        is shown (a failed check holds the buttons back until
//                                        the user answers its box; that wait is the user's)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kButtons[] = {101, 102, 103, 104, 105};  // Command1..Command5

struct Search {
    DWORD pid;
    const wchar_t* className;  // null for any
    HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (pid == search->pid && IsWindowVisible(window) &&
        (search->className == nullptr || wcscmp(name, search->className) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevel(DWORD pid, const wchar_t* className) {
    Search search{pid, className, nullptr};
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Reads only window state, never sends a message: the program's thread is busy while it asks
// the service.
bool ButtonsEnabled(HWND main) {
    return std::all_of(std::begin(kButtons), std::end(kButtons), [main](int id) {
        HWND button = GetDlgItem(main, id);
        return button != nullptr && IsWindowEnabled(button);
    });
}

double Now() {
    LARGE_INTEGER counter{}, frequency{};
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// What ended the wait for one start, or null while it goes on.
const char* Reached(DWORD pid, bool untilReady, HWND& main) {
    if (!untilReady) {
        return FindTopLevel(pid, nullptr) != nullptr ? "window" : nullptr;
    }
    if (main == nullptr)
        main = FindTopLevel(pid, L"VarnelUnplugForm1");
    if (main != nullptr && ButtonsEnabled(main))
        return "buttons";
    if (FindTopLevel(pid, L"#32770") != nullptr)
        return "box";
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_timer PROGRAM N [ready]\n");
        return 2;
    }
    const std::wstring program = argv[1];
    const int runs = std::max(1, _wtoi(argv[2]));
    const bool untilReady = argc > 3 && std::wstring(argv[3]) == L"ready";
    std::vector<double> times;
    int byButtons = 0, byBox = 0;
    for (int run = 0; run < runs; ++run) {
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        const double start = Now();
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, &process)) {
            std::fprintf(stderr, "cannot start the program (%lu)\n", GetLastError());
            return 1;
        }
        HWND main = nullptr;
        const char* endedBy = nullptr;
        while (Now() - start < 30000 &&
               (endedBy = Reached(process.dwProcessId, untilReady, main)) == nullptr) {
            if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)
                break;
        }
        const double elapsed = Now() - start;
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 5000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (endedBy == nullptr) {
            std::fprintf(stderr, "run %d: the moment was not reached within 30 s\n", run + 1);
            return 1;
        }
        byButtons += std::string(endedBy) == "buttons";
        byBox += std::string(endedBy) == "box";
        std::printf("run=%d ms=%.1f ended_by=%s\n", run + 1, elapsed, endedBy);
        std::fflush(stdout);
        times.push_back(elapsed);
        Sleep(200);
    }
    std::sort(times.begin(), times.end());
    const double median = times.size() % 2 == 1
                              ? times[times.size() / 2]
                              : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    std::printf("runs=%d median_ms=%.1f min_ms=%.1f max_ms=%.1f buttons=%d box=%d\n", runs, median,
                times.front(), times.back(), byButtons, byBox);
    return 0;
}

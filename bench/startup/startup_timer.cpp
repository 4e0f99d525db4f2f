// Starts a program N times and prints the milliseconds from CreateProcessW until its first
// visible top-level window exists, then ends it.
//   startup_timer.exe PROGRAM N
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
    DWORD pid;
    bool found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

double Now() {
    LARGE_INTEGER counter{}, frequency{};
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_timer PROGRAM N\n");
        return 2;
    }
    const std::wstring program = argv[1];
    const int runs = std::max(1, _wtoi(argv[2]));
    std::vector<double> times;
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
        Search search{process.dwProcessId, false};
        while (!search.found && Now() - start < 20000) {
            EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
            if (!search.found)
                Sleep(1);
        }
        const double elapsed = Now() - start;
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 5000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (!search.found) {
            std::fprintf(stderr, "no window within 20 s\n");
            return 1;
        }
        times.push_back(elapsed);
        Sleep(200);
    }
    std::sort(times.begin(), times.end());
    const double median = times.size() % 2 == 1
                              ? times[times.size() / 2]
                              : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    std::printf("runs=%d median_ms=%.1f min_ms=%.1f max_ms=%.1f\n", runs, median, times.front(),
                times.back());
    return 0;
}

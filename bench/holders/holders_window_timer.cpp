// Times the real program's holders window from outside: RUNS times, from the posted menu command
// that opens T:'s window until its look is over and the list names HOLDERS processes, and the
// slowest WM_NULL round trip of the window's thread meanwhile (the look runs on a worker, so the
// thread should answer at once). The window is closed between runs; the program is ended at the
// end.
//   holders_window_timer.exe PROGRAM.exe HOLDERS [RUNS]
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "layout/holders_layout.h"
#include "layout/layout.h"

namespace {

using namespace varnel;

double Now() {
    LARGE_INTEGER count{}, frequency{};
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * double(count.QuadPart) / double(frequency.QuadPart);
}

bool WaitUntil(const std::function<bool()>& condition, double timeoutMs) {
    for (const double end = Now() + timeoutMs; !condition(); Sleep(10))
        if (Now() > end)
            return false;
    return true;
}

// The main window once the start-up check is over; a failure box (no service to ask) is answered.
HWND ReadyMainWindow() {
    HWND main = nullptr;
    const bool ready = WaitUntil(
        [&] {
            main = FindWindowW(L"VarnelUnplugForm1", nullptr);
            for (HWND box = nullptr;
                 main != nullptr && (box = FindWindowExW(nullptr, box, L"#32770", nullptr));)
                if (GetWindow(box, GW_OWNER) == main && IsWindowVisible(box))
                    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            return main != nullptr && IsWindowEnabled(GetDlgItem(main, kCommand1));
        },
        60000);
    return ready ? main : nullptr;
}

struct Opening {
    double filledMs = 0;
    double slowestMs = 0;            // the slowest round trip
    const char* slowestIn = "open";  // what the window's thread was doing then
};

bool Filled(HWND window, int holders) {
    return window != nullptr && !IsWindowVisible(GetDlgItem(window, kHoldersProgress)) &&
           SendMessageW(GetDlgItem(window, kHoldersList), LVM_GETITEMCOUNT, 0, 0) >= holders;
}

// One opening, or false when the list did not name every holder within a minute. A round trip
// is "open" while the command creates the window, "fill" when the look was under way as it was
// sent and the list was full as it came back (the result being shown), else "look".
bool OpenOnce(HWND main, int holders, Opening& opening) {
    const double start = Now();
    PostMessageW(main, WM_COMMAND, kMenuHoldersDrive + ('T' - 'A'), 0);
    HWND window = nullptr;
    for (;;) {
        if (window == nullptr)
            window = FindWindowW(L"VarnelUnplugHolders", nullptr);
        const bool looking = window != nullptr && !Filled(window, holders);
        const double sent = Now();
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window != nullptr ? window : main, WM_NULL, 0, 0, SMTO_NORMAL, 10000,
                            &answer);
        const double answered = Now();
        const bool filled = Filled(window, holders);
        if (answered - sent > opening.slowestMs) {
            opening.slowestMs = answered - sent;
            opening.slowestIn = window == nullptr ? "open" : looking && filled ? "fill" : "look";
        }
        if (filled) {
            opening.filledMs = answered - start;
            break;
        }
        if (answered - start > 60000) {
            return false;
        }
        Sleep(1);  // the look needs the machine's other core
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    const bool closed = WaitUntil([&] { return !IsWindow(window); }, 10000);
    // A pause, as between a user's openings: under Wine and Xvfb an opening at once after a
    // close answered after 100-130 ms, one a second later after about 50 ms.
    Sleep(1000);
    return closed;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int holders = argc < 3 ? 0 : _wtoi(argv[2]);
    if (holders < 1) {  // a list of none would count as filled before the look
        std::fprintf(stderr, "usage: holders_window_timer PROGRAM.exe HOLDERS(>=1) [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 5;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION program{};
    std::wstring line = L"\"" + std::wstring(argv[1]) + L"\"";
    if (!CreateProcessW(argv[1], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &program)) {
        std::fprintf(stderr, "cannot start the program (%lu)\n", GetLastError());
        return 1;
    }
    int status = 0;
    std::vector<double> filled;
    Opening slowest;  // the opening with the slowest round trip
    if (const HWND main = ReadyMainWindow()) {
        for (int i = 0; i < runs && status == 0; ++i) {
            Opening opening;
            status = OpenOnce(main, holders, opening) ? 0 : 1;
            filled.push_back(opening.filledMs);
            slowest = opening.slowestMs > slowest.slowestMs ? opening : slowest;
        }
    } else {
        std::fprintf(stderr, "the program's window was not ready within 60 s\n");
        status = 1;
    }
    TerminateProcess(program.hProcess, 0);
    WaitForSingleObject(program.hProcess, 10000);
    CloseHandle(program.hProcess);
    CloseHandle(program.hThread);
    if (status != 0) {
        std::fprintf(stderr, "no list of %d holders within 60 s of the command\n", holders);
        return status;
    }
    std::printf(
        "holders=%d filled_median_ms=%.0f filled_max_ms=%.0f round_trip_max_ms=%.1f "
        "round_trip_max_in=%s runs=%d\n",
        holders, Median(filled), *std::max_element(filled.begin(), filled.end()), slowest.slowestMs,
        slowest.slowestIn, runs);
    return 0;
}

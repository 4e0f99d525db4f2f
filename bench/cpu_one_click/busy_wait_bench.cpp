// The one-click repair's six pauses (12 s in all), waited either the old way, spinning on the
// clock and dispatching whatever is pending, or with the event wait the program uses. A driver
// measures this process's CPU time from outside; the program prints its own figures as well.
//
//   busy_wait_bench.exe busy | event
#include <windows.h>
// windows.h first: mmsystem.h relies on its types.
#include <mmsystem.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>

#include "platform/win32/clock_win32.h"
#include "platform/win32/event_pump_win32.h"
#include "repair/responsive_wait.h"

namespace {

constexpr int16_t kPauses[] = {2000, 2000, 3000, 2000, 2000, 1000};

// The loop the program used to have: no sleep between the clock tests.
void BusyWait(int16_t ms) {
    const int32_t start = static_cast<int32_t>(timeGetTime());
    while (static_cast<int32_t>(timeGetTime()) < start + ms) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

double CpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool busy = argc > 1 && std::wcscmp(argv[1], L"busy") == 0;
    if (argc < 2 || (!busy && std::wcscmp(argv[1], L"event") != 0)) {
        std::fwprintf(stderr, L"usage: busy_wait_bench busy|event\n");
        return 2;
    }
    // A window of our own, so there is a queue with paint and input like the program's.
    const HWND window = CreateWindowExW(0, L"STATIC", L"busy_wait_bench", WS_OVERLAPPEDWINDOW, 0, 0,
                                        200, 100, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);

    varnel::win32::TickClock clock;
    varnel::win32::Win32EventPump pump;
    varnel::ResponsiveWait wait(clock, pump);

    const double cpuBefore = CpuMs();
    const DWORD wallBefore = timeGetTime();
    for (int16_t ms : kPauses) {
        if (busy) {
            BusyWait(ms);
        } else {
            wait.WaitMs(ms);
        }
    }
    const double wall = static_cast<double>(timeGetTime() - wallBefore);
    const double cpu = CpuMs() - cpuBefore;
    std::printf("mode=%s wall_ms=%.0f cpu_ms=%.0f cpu_percent=%.2f\n", busy ? "busy" : "event",
                wall, cpu, 100.0 * cpu / wall);
    DestroyWindow(window);
    return 0;
}

// Times the holder scan that unplug.exe's who runs: RUNS full scans, printing the median time of
// the handle scan, of the memory walk (the two run side by side) and of the whole scan with the
// process list, and how many processes the scan saw.
//   holders_timer.exe [RUNS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "platform/platform_error.h"
#include "platform/win32/holder_scanner_win32.h"
#include "platform/win32/toolhelp_processes.h"

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    varnel::win32::ToolhelpProcessTable table;
    varnel::win32::HolderScannerWin32 scanner{table};
    std::vector<double> handles, memory, total;
    size_t processes = 0;
    try {
        for (int i = 0; i < runs; ++i) {
            LARGE_INTEGER start, end, frequency;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&start);
            processes = scanner.Scan().size();
            QueryPerformanceCounter(&end);
            handles.push_back(scanner.HandleScanMs());
            memory.push_back(scanner.MemoryWalkMs());
            total.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                            static_cast<double>(frequency.QuadPart));
        }
    } catch (const varnel::PlatformError&) {
        std::fprintf(stderr, "the scan failed\n");
        return 1;
    }
    std::printf("processes=%zu handles_ms=%.1f memory_ms=%.1f scan_ms=%.1f runs=%d\n", processes,
                Median(handles), Median(memory), Median(total), runs);
    return 0;
}

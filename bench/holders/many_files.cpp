// Benchmark helper: opens one file COUNT times (COUNT handles to the drive), writes its process id
// to READY once they are all open, and waits to be ended.
//   many_files.exe READY PATH COUNT
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    const int count = argc > 3 ? _wtoi(argv[3]) : 0;
    for (int i = 0; i < count; ++i) {
        if (CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr) == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "many_files: open %d failed (%lu)\n", i, GetLastError());
            return 2;
        }
    }
    FILE* ready = argc > 3 ? _wfopen(argv[1], L"w") : nullptr;
    if (ready == nullptr) {
        return 3;
    }
    std::fprintf(ready, "%lu\n", GetCurrentProcessId());
    std::fclose(ready);
    Sleep(INFINITE);
    return 0;
}

// Test helper: holds something on a drive in one of several ways, writes its process id to a
// ready file once it does, and waits to be closed or ended.
//   holder.exe READY file PATH        an open file
//   holder.exe READY cwd FOLDER       its current directory
//   holder.exe READY map PATH         a mapped view whose file and mapping handles are closed
//   holder.exe READY volume X:        a handle to the volume itself
//   holder.exe READY window PATH      an open file and a window (a message box) that closes on
//                                     WM_CLOSE
//   holder.exe READY idle             nothing (run from the drive it holds its program)
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HANDLE Open(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

bool Hold(const std::wstring& mode, const wchar_t* what) {
    if (mode == L"file" || mode == L"window")
        return Open(what, GENERIC_READ) != INVALID_HANDLE_VALUE;
    if (mode == L"cwd")
        return SetCurrentDirectoryW(what);
    if (mode == L"volume")
        return Open(L"\\\\.\\" + std::wstring(what), 0) != INVALID_HANDLE_VALUE;
    if (mode == L"map") {
        HANDLE file = Open(what, GENERIC_READ);
        HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
        CloseHandle(mapping);
        CloseHandle(file);
        return view != nullptr;
    }
    return mode == L"idle";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || !Hold(argv[2], argc > 3 ? argv[3] : L"")) {
        std::fprintf(stderr, "holder: could not hold (%lu)\n", GetLastError());
        return 2;
    }
    FILE* ready = _wfopen(argv[1], L"w");
    if (ready == nullptr)
        return 3;
    std::fprintf(ready, "%lu\n", GetCurrentProcessId());
    std::fclose(ready);
    if (std::wstring(argv[2]) == L"window")
        return MessageBoxW(nullptr, L"holder", L"holder", MB_OKCANCEL) == IDCANCEL ? 0 : 1;
    Sleep(INFINITE);
    return 0;
}

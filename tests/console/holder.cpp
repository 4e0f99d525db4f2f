// Test helper: holds something on a drive in one of several ways, writes its process id to a
// ready file once it does, and waits to be closed or ended.
//   holder.exe READY file PATH        an open file
//   holder.exe READY cwd FOLDER       its current directory
//   holder.exe READY map PATH         a mapped view whose file and mapping handles are closed
//   holder.exe READY volume X:        a handle to the volume itself
//   holder.exe READY window PATH      an open file and a window that closes on WM_CLOSE
//   holder.exe READY pipe PATH NAME   an open file and a synchronous pipe waiting for a client
//   holder.exe READY idle             nothing (run from the drive it holds its program)
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

HANDLE OpenExisting(const wchar_t* path, DWORD flags) {
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, flags, nullptr);
}

bool Hold(const wchar_t* mode, const wchar_t* what, const wchar_t* extra) {
    if (std::wcscmp(mode, L"file") == 0 || std::wcscmp(mode, L"window") == 0) {
        return OpenExisting(what, 0) != INVALID_HANDLE_VALUE;
    }
    if (std::wcscmp(mode, L"cwd") == 0) {
        return SetCurrentDirectoryW(what);
    }
    if (std::wcscmp(mode, L"volume") == 0) {
        const wchar_t volume[] = {L'\\', L'\\', L'.', L'\\', what[0], L':', 0};
        return CreateFileW(volume, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr) != INVALID_HANDLE_VALUE;
    }
    if (std::wcscmp(mode, L"map") == 0) {
        HANDLE file = OpenExisting(what, 0);
        HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
        CloseHandle(mapping);
        CloseHandle(file);
        return view != nullptr;
    }
    if (std::wcscmp(mode, L"pipe") == 0 && extra != nullptr) {
        HANDLE pipe = CreateNamedPipeW(extra, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                       512, 512, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE || OpenExisting(what, 0) == INVALID_HANDLE_VALUE) {
            return false;
        }
        // A synchronous wait on another thread: the handle stays busy for as long as we live.
        CreateThread(
            nullptr, 0, [](void* p) -> DWORD { return ConnectNamedPipe(p, nullptr); }, pipe, 0,
            nullptr);
        return true;
    }
    return std::wcscmp(mode, L"idle") == 0;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void ShowWindowAndWait() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"HolderWindow";
    RegisterClassW(&windowClass);
    CreateWindowExW(0, L"HolderWindow", L"holder", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                    nullptr, nullptr, windowClass.hInstance, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || !Hold(argv[2], argc > 3 ? argv[3] : L"", argc > 4 ? argv[4] : nullptr)) {
        std::fprintf(stderr, "holder: could not hold (%lu)\n", GetLastError());
        return 2;
    }
    FILE* ready = _wfopen(argv[1], L"w");
    if (ready == nullptr) {
        return 3;
    }
    std::fprintf(ready, "%lu\n", GetCurrentProcessId());
    std::fclose(ready);
    if (std::wcscmp(argv[2], L"window") == 0) {
        ShowWindowAndWait();
        return 0;
    }
    Sleep(INFINITE);
    return 0;
}

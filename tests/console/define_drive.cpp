// Test helper: defines a removable drive letter (or a CD drive) over a Unix folder through Wine's
// mount manager, which takes effect at once, or removes it again.
//   define_drive.exe T: /unix/folder [cdrom]
//   define_drive.exe T: --remove
#include <windows.h>
// windows.h first: winioctl.h relies on its types.
#include <winioctl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Wine's own request (include/ddk/mountmgr.h), followed by the mount point's bytes.
struct UnixDrive {
    ULONG size, type, fsType, serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset, deviceOffset, labelOffset;
};

constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argc > 4 || wcslen(argv[1]) != 2 || argv[1][1] != L':' ||
        (argc == 4 && std::wcscmp(argv[3], L"cdrom") != 0)) {
        std::fprintf(stderr, "usage: define_drive X: (/unix/folder [cdrom] | --remove)\n");
        return 2;
    }
    const bool remove = std::wcscmp(argv[2], L"--remove") == 0;
    std::string mountPoint;
    if (!remove) {
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, nullptr, 0, nullptr, nullptr);
        mountPoint.resize(bytes);  // with the terminating NUL
        WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, mountPoint.data(), bytes, nullptr, nullptr);
    }
    std::vector<unsigned char> request(sizeof(UnixDrive) + mountPoint.size());
    auto* drive = reinterpret_cast<UnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = remove ? DRIVE_NO_ROOT_DIR : argc == 4 ? DRIVE_CDROM : DRIVE_REMOVABLE;
    drive->letter = static_cast<WCHAR>(towlower(argv[1][0]));
    if (!remove) {
        drive->mountPointOffset = sizeof(UnixDrive);
        std::memcpy(request.data() + sizeof(UnixDrive), mountPoint.data(), mountPoint.size());
    }
    HANDLE manager =
        CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD returned = 0;  // the handle and the request go with the process
    if (!DeviceIoControl(manager, kDefineUnixDrive, request.data(),
                         static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr)) {
        std::fprintf(stderr, "the mount manager refused: %lu\n", GetLastError());
        return 1;
    }
    return 0;
}

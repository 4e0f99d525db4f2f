#include "platform/win32/drives_win32.h"

#include <windows.h>
// windows.h first: winioctl.h relies on its types.
#include <winioctl.h>

#include <optional>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/storage_device_win32.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

// A fixed drive counts as external when it sits on a USB, FireWire or SD bus.
bool OnExternalBus(wchar_t letter) {
    const std::optional<StorageDevice> device = DescribeStorage(letter);
    return device && IsExternalBus(device->bus);
}

std::optional<DriveKind> KindOf(wchar_t letter) {
    const wchar_t root[] = {letter, L':', L'\\', 0};
    switch (GetDriveTypeW(root)) {
        case DRIVE_REMOVABLE:
            return DriveKind::Removable;
        case DRIVE_CDROM:
            return DriveKind::CdRom;
        case DRIVE_FIXED:
            if (OnExternalBus(letter)) {
                return DriveKind::External;
            }
            break;
        default:
            break;
    }
    return std::nullopt;
}

}  // namespace

std::vector<DriveInfo> DrivesWin32::List() {
    // An empty card reader or CD drive must not bring up the system's "insert a disk" box.
    DWORD oldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS, &oldMode);
    std::vector<DriveInfo> drives;
    const DWORD letters = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        const wchar_t letter = static_cast<wchar_t>(L'A' + i);
        const std::optional<DriveKind> kind = (letters & (1u << i)) ? KindOf(letter) : std::nullopt;
        if (!kind) {
            continue;
        }
        DriveInfo drive;
        drive.letter = static_cast<char16_t>(letter);
        drive.kind = *kind;
        const wchar_t root[] = {letter, L':', L'\\', 0};
        wchar_t label[MAX_PATH + 1] = {};
        wchar_t fileSystem[MAX_PATH + 1] = {};
        if (GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, fileSystem,
                                  MAX_PATH + 1)) {
            drive.label = FromWide(label, wcsnlen(label, MAX_PATH));
            drive.fileSystem = FromWide(fileSystem, wcsnlen(fileSystem, MAX_PATH));
        }
        ULARGE_INTEGER total{};
        if (GetDiskFreeSpaceExW(root, nullptr, &total, nullptr)) {
            drive.sizeBytes = total.QuadPart;
        }
        drives.push_back(std::move(drive));
    }
    SetThreadErrorMode(oldMode, nullptr);
    return drives;
}

std::u16string DrivesWin32::DeviceName(char16_t letter) {
    const wchar_t name[] = {static_cast<wchar_t>(letter), L':', 0};
    wchar_t target[2048] = {};
    const DWORD length = QueryDosDeviceW(name, target, 2048);
    if (length == 0) {
        return {};
    }
    return FromWide(target, wcsnlen(target, length));  // the first of the names
}

bool DrivesWin32::IsFolder(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace varnel::win32

#include "platform/win32/volumes_win32.h"

#include <windows.h>
// windows.h first: winioctl.h relies on its types.
#include <winioctl.h>

#include <cwctype>
#include <string>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/storage_device_win32.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

std::wstring RootPath(char16_t letter) {
    return std::wstring(1, static_cast<wchar_t>(letter)) + L":\\";
}

wchar_t Upper(wchar_t letter) {
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(letter)));
}

bool HoldsWindows(char16_t letter) {
    wchar_t folder[MAX_PATH]{};
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH && Upper(folder[0]) == Upper(letter);
}

// A page file in the volume's root, or one the system lists as in use there.
bool HoldsPageFile(char16_t letter) {
    if (GetFileAttributesW((RootPath(letter) + L"pagefile.sys").c_str()) !=
        INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    DWORD bytes = 0;
    constexpr wchar_t kKey[] =
        L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, L"ExistingPageFiles", RRF_RT_REG_MULTI_SZ, nullptr,
                     nullptr, &bytes) != ERROR_SUCCESS) {
        return false;
    }
    std::vector<wchar_t> names(bytes / sizeof(wchar_t) + 2, L'\0');
    bytes = static_cast<DWORD>(names.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, L"ExistingPageFiles", RRF_RT_REG_MULTI_SZ, nullptr,
                     names.data(), &bytes) != ERROR_SUCCESS) {
        return false;
    }
    // Each name is \??\C:\pagefile.sys; the list ends with an empty one.
    for (const wchar_t* name = names.data(); *name != L'\0'; name += wcslen(name) + 1) {
        if (wcslen(name) > 5 && wcsncmp(name, L"\\??\\", 4) == 0 && name[5] == L':' &&
            Upper(name[4]) == Upper(letter)) {
            return true;
        }
    }
    return false;
}

class VolumeHandleWin32 : public VolumeHandle {
public:
    // Opens \\.\X: with full sharing, so that the lock, not the open, decides; throws when
    // it cannot.
    explicit VolumeHandleWin32(char16_t letter)
        : volume_(CreateFileW(VolumePath(letter).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr)) {
        if (!volume_.Valid()) {
            ThrowLastError(u"CreateFileW");
        }
    }

    bool Lock() override { return Control(FSCTL_LOCK_VOLUME, nullptr, 0); }
    void Unlock() override { Must(FSCTL_UNLOCK_VOLUME, nullptr, 0, u"FSCTL_UNLOCK_VOLUME"); }
    void Dismount() override { Must(FSCTL_DISMOUNT_VOLUME, nullptr, 0, u"FSCTL_DISMOUNT_VOLUME"); }
    void AllowRemoval() override {
        PREVENT_MEDIA_REMOVAL allow{FALSE};
        Must(IOCTL_STORAGE_MEDIA_REMOVAL, &allow, sizeof allow, u"IOCTL_STORAGE_MEDIA_REMOVAL");
    }
    void EjectMedia() override {
        Must(IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, u"IOCTL_STORAGE_EJECT_MEDIA");
    }

private:
    bool Control(DWORD code, void* input, DWORD inputSize) {
        DWORD returned = 0;
        return DeviceIoControl(volume_.Get(), code, input, inputSize, nullptr, 0, &returned,
                               nullptr) != FALSE;
    }
    void Must(DWORD code, void* input, DWORD inputSize, const char16_t* operation) {
        if (!Control(code, input, inputSize)) {
            ThrowLastError(operation);
        }
    }

    ScopedHandle volume_;
};

}  // namespace

VolumeFacts VolumesWin32::Describe(char16_t letter) {
    VolumeFacts facts;
    facts.windowsVolume = HoldsWindows(letter);
    facts.pageFileVolume = HoldsPageFile(letter);
    const std::optional<StorageDevice> device = DescribeStorage(letter);
    // A fixed drive the system does not describe counts as internal: never forced.
    facts.fixedDisk = GetDriveTypeW(RootPath(letter).c_str()) == DRIVE_FIXED &&
                      (!device || (!device->removableMedia && !IsExternalBus(device->bus)));
    facts.cardReader = device && device->removableMedia &&
                       (device->bus == BusTypeSd || device->bus == BusTypeMmc ||
                        device->product.find(L"reader") != std::wstring::npos ||
                        device->product.find(L"card") != std::wstring::npos);
    return facts;
}

std::unique_ptr<VolumeHandle> VolumesWin32::Open(char16_t letter) {
    return std::make_unique<VolumeHandleWin32>(letter);
}

}  // namespace varnel::win32

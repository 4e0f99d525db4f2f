// What kind of disk a drive's volume lives on, and the requests a forced or medium eject sends,
// over stand-ins of the system's file, device and registry functions (this program's imports):
// Wine describes no storage device, and no request may reach a real volume of the machine. The
// letters are ones the test prefix does not have, so even a stand-in that failed to take its
// place would open nothing.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: winioctl.h relies on its types.
#include <winioctl.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/platform_error.h"
#include "platform/win32/volumes_win32.h"
#include "wine_support.h"

namespace {

// Each letter's drive type and storage device: bus, removable media, product; a letter without
// a device answers no description.
struct Disk {
    UINT type;
    STORAGE_BUS_TYPE bus;
    bool removableMedia;
    const char* product;
};
const std::map<wchar_t, Disk> kDisks = {{L'J', {DRIVE_FIXED, BusTypeMmc, false, "eMMC"}},
                                        {L'K', {DRIVE_FIXED, BusTypeSata, false, "SSD"}},
                                        {L'L', {DRIVE_FIXED, BusTypeUsb, false, "Portable HDD"}},
                                        {L'M', {DRIVE_FIXED, BusTypeUnknown, false, nullptr}},
                                        {L'N', {DRIVE_REMOVABLE, BusTypeUsb, true, "Reader USB3"}},
                                        {L'O', {DRIVE_REMOVABLE, BusTypeSd, true, "SD"}},
                                        {L'P', {DRIVE_REMOVABLE, BusTypeUsb, true, "Flash Disk"}},
                                        {L'Q', {DRIVE_REMOVABLE, BusTypeUsb, true, "Flash Disk"}},
                                        {L'R', {DRIVE_REMOVABLE, BusTypeUsb, true, "Flash Disk"}}};

thread_local wchar_t opened = 0;  // the letter of the handle the stand-in CreateFileW gave last
std::string journal;              // the requests sent, in order

HANDLE WINAPI Open(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                   HANDLE) {
    const std::wstring name(path);
    if (name.size() != 6 || name.compare(0, 4, L"\\\\.\\") != 0 || !kDisks.contains(name[4]))
        return INVALID_HANDLE_VALUE;
    opened = name[4];
    if (access != 0)  // the volume for its requests: to read and write, others left in
        journal += (access == (GENERIC_READ | GENERIC_WRITE) &&
                    share == (FILE_SHARE_READ | FILE_SHARE_WRITE))
                       ? "open "
                       : "open-wrongly ";
    return CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

BOOL WINAPI Control(HANDLE, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                    LPDWORD returned, LPOVERLAPPED) {
    const Disk& disk = kDisks.at(opened);
    if (code == IOCTL_STORAGE_QUERY_PROPERTY) {
        const auto* query = static_cast<const STORAGE_PROPERTY_QUERY*>(in);
        if (disk.product == nullptr || inSize != sizeof(*query) ||
            query->PropertyId != StorageDeviceProperty || query->QueryType != PropertyStandardQuery)
            return SetLastError(ERROR_INVALID_FUNCTION), FALSE;
        std::memset(out, 0, outSize);
        auto* descriptor = static_cast<STORAGE_DEVICE_DESCRIPTOR*>(out);
        descriptor->BusType = disk.bus;
        descriptor->RemovableMedia = disk.removableMedia;
        descriptor->ProductIdOffset = sizeof(*descriptor);
        std::strcpy(static_cast<char*>(out) + sizeof(*descriptor), disk.product);
        *returned = DWORD(sizeof(*descriptor) + std::strlen(disk.product) + 1);
        return TRUE;
    }
    const std::map<DWORD, const char*> kRequests = {{FSCTL_LOCK_VOLUME, "lock"},
                                                    {FSCTL_UNLOCK_VOLUME, "unlock"},
                                                    {FSCTL_DISMOUNT_VOLUME, "dismount"},
                                                    {IOCTL_STORAGE_MEDIA_REMOVAL, "allow"},
                                                    {IOCTL_STORAGE_EJECT_MEDIA, "eject"}};
    journal += kRequests.contains(code) ? kRequests.at(code) : "unknown";
    if (code == IOCTL_STORAGE_MEDIA_REMOVAL)
        journal += static_cast<const PREVENT_MEDIA_REMOVAL*>(in)->PreventMediaRemoval ? "-no" : "";
    journal += " ";
    // R:'s files stay open: its lock is refused, and so is its dismount.
    return opened == L'R' && (code == FSCTL_LOCK_VOLUME || code == FSCTL_DISMOUNT_VOLUME)
               ? (SetLastError(ERROR_ACCESS_DENIED), FALSE)
               : TRUE;
}

UINT WINAPI DriveType(LPCWSTR root) {
    return kDisks.contains(root[0]) ? kDisks.at(root[0]).type : DRIVE_NO_ROOT_DIR;
}

// Windows lives on K:; P: holds a page file in its root, Q: one the system lists.
UINT WINAPI WindowsFolder(LPWSTR folder, UINT size) {
    wcsncpy(folder, L"K:\\Windows", size);
    return 10;
}
DWORD WINAPI Attributes(LPCWSTR path) {
    return std::wstring(path) == L"P:\\pagefile.sys" ? FILE_ATTRIBUTE_HIDDEN
                                                     : INVALID_FILE_ATTRIBUTES;
}
LSTATUS WINAPI Registry(HKEY, LPCWSTR, LPCWSTR value, DWORD, LPDWORD, PVOID data, LPDWORD bytes) {
    static const wchar_t kList[] = L"\\??\\X:\\pagefile.sys\0\\??\\Q:\\swap\\pagefile.sys\0";
    if (std::wstring(value) != L"ExistingPageFiles")
        return ERROR_FILE_NOT_FOUND;
    if (data != nullptr && *bytes >= sizeof(kList))
        std::memcpy(data, kList, sizeof(kList));
    *bytes = sizeof(kList);
    return ERROR_SUCCESS;
}

TEST(Volumes, TellTheWindowsPageFileInternalDiskAndCardReaderVolumesApart) {
    const wine_support::SwappedImport swapped[] = {{"CreateFileW", &Open},
                                                   {"DeviceIoControl", &Control},
                                                   {"GetDriveTypeW", &DriveType},
                                                   {"GetSystemWindowsDirectoryW", &WindowsFolder},
                                                   {"GetFileAttributesW", &Attributes},
                                                   {"RegGetValueW", &Registry}};
    varnel::win32::VolumesWin32 volumes;
    // Windows, page file, internal disk, card reader; a fixed disk the system does not describe
    // counts as internal, an external one on USB does not.
    const std::map<wchar_t, std::string> kFacts = {
        {L'J', "fixed"},    {L'K', "windows fixed"}, {L'L', ""},
        {L'M', "fixed"},    {L'N', "reader"},        {L'O', "reader"},
        {L'P', "pagefile"}, {L'Q', "pagefile"},      {L'R', ""}};
    for (const auto& [letter, expected] : kFacts) {
        const varnel::VolumeFacts facts = volumes.Describe(char16_t(letter));
        std::string shown = std::string(facts.windowsVolume ? "windows " : "") +
                            (facts.pageFileVolume ? "pagefile " : "") +
                            (facts.fixedDisk ? "fixed " : "") + (facts.cardReader ? "reader " : "");
        EXPECT_EQ(shown.empty() ? shown : shown.substr(0, shown.size() - 1), expected)
            << char(letter);
    }

    // Each request goes to the volume the handle opened, and a refusal says so.
    journal.clear();
    {
        const auto volume = volumes.Open(u'P');
        EXPECT_TRUE(volume->Lock());
        volume->Dismount();
        volume->AllowRemoval();
        volume->EjectMedia();
        volume->Unlock();
    }
    const auto held = volumes.Open(u'R');
    EXPECT_FALSE(held->Lock());
    EXPECT_THROW(held->Dismount(), varnel::PlatformError);
    EXPECT_EQ(journal, "open lock dismount allow eject unlock open lock dismount ");
    EXPECT_THROW(volumes.Open(u'S'), varnel::PlatformError) << "a drive that is not there";
}

}  // namespace

// The device behind a drive letter and the request to eject it, over a device tree Wine lacks (it
// gives no drive a device): the system functions the search calls are pointed at stand-ins that
// hold a tree with the turns a Windows system's can take: the file functions through this
// program's imports, SetupDi's and cfgmgr32's as replaced tables.
#include <gtest/gtest.h>
#include <windows.h>
// The device headers rely on windows.h's types; initguid.h defines the interface classes.
#include <cfgmgr32.h>
#include <initguid.h>
#include <setupapi.h>
#include <winioctl.h>

#include <map>
#include <tuple>
#include <vector>

#include "platform/platform_error.h"
#include "platform/win32/device_eject_win32.h"
#include "platform/win32/dynamic_calls_win32.h"
#include "wine_support.h"

namespace {

// The device number behind each path that opens: the drives' volumes, then the interfaces.
const std::map<std::wstring, STORAGE_DEVICE_NUMBER> kNumbers = {
    {L"\\\\.\\D:", {FILE_DEVICE_DISK, 1, 1}},   {L"\\\\.\\E:", {FILE_DEVICE_DISK, 2, 1}},
    {L"\\\\.\\F:", {FILE_DEVICE_CD_ROM, 0, 0}}, {L"\\\\.\\G:", {FILE_DEVICE_DISK, 3, 1}},
    {L"cd1", {FILE_DEVICE_CD_ROM, 1, 0}},       {L"disk1", {FILE_DEVICE_DISK, 1, 0}},
    {L"disk2", {FILE_DEVICE_DISK, 2, 0}},       {L"disk3", {FILE_DEVICE_DISK, 3, 0}},
    {L"floppy2", {FILE_DEVICE_DISK, 2, 0}},     {L"c", {FILE_DEVICE_CD_ROM, 0, 0}}};
// The present interfaces of each class in the order listed: the path, the device node, and the
// size its detail claims (0: its own; the CD-ROM's is the least a detail can be). A node's id is
// "ID\<node>", its parent node + 100; node 13 and the nodes from 200 up have none, node 220 has
// no id to read. Flags the functions do not take are refused.
using Interfaces = std::vector<std::tuple<const wchar_t*, DEVINST, DWORD>>;
const Interfaces kDisks = {{L"lost", 1, 0},
                           {L"cd1", 10, 0},
                           {L"disk1", 11, 65536},
                           {L"disk2", 12, 65537},
                           {L"disk3", 13, 0}};
const std::pair<GUID, Interfaces> kClasses[] = {{GUID_DEVINTERFACE_DISK, kDisks},
                                                {GUID_DEVINTERFACE_FLOPPY, {{L"floppy2", 20, 0}}},
                                                {GUID_DEVINTERFACE_CDROM, {{L"c", 30, 0}}}};
thread_local std::wstring opened;  // the path of the handle the stand-in CreateFileW gave last

// A device opens only for no access at all, as one does for a user who is no administrator.

HANDLE WINAPI Open(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    opened = path;
    return kNumbers.contains(path) && access == 0 ? CreateEventW(nullptr, 0, 0, nullptr)
                                                  : INVALID_HANDLE_VALUE;
}
BOOL WINAPI Number(HANDLE, DWORD code, LPVOID, DWORD inSize, LPVOID out, DWORD, LPDWORD,
                   LPOVERLAPPED) {
    *static_cast<STORAGE_DEVICE_NUMBER*>(out) = kNumbers.at(opened);
    return code == IOCTL_STORAGE_GET_DEVICE_NUMBER && inSize == 0;
}
UINT WINAPI DriveType(LPCWSTR root) {
    return std::wstring(root).size() != 3 ? DRIVE_NO_ROOT_DIR
           : root[0] == L'F'              ? DRIVE_CDROM
           : root[0] == L'G'              ? DRIVE_FIXED
                                          : DRIVE_REMOVABLE;
}
HDEVINFO WINAPI ListClass(const GUID* listed, PCWSTR, HWND, DWORD flags) {
    for (const auto& [interfaceClass, interfaces] : kClasses)
        if (interfaceClass == *listed && flags == (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE))
            return HDEVINFO(&interfaces);
    return INVALID_HANDLE_VALUE;
}
BOOL WINAPI Enumerate(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD i,
                      PSP_DEVICE_INTERFACE_DATA data) {
    data->Reserved = i;
    return i < static_cast<const Interfaces*>(set)->size() && data->cbSize == sizeof(*data);
}
BOOL WINAPI Detail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                   PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size, PDWORD required,
                   PSP_DEVINFO_DATA device) {
    const auto [path, node, claimed] = static_cast<const Interfaces*>(set)->at(data->Reserved);
    const DWORD own = sizeof(DWORD) + (wcslen(path) + 1) * sizeof(wchar_t);
    if (required != nullptr && (detail != nullptr || size == 0))  // what to ask for, if asked well
        *required = claimed != 0 ? claimed : own;
    if (detail == nullptr || size < own || detail->cbSize != sizeof(*detail) ||
        device->cbSize != sizeof(*device))
        return SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;
    wcscpy(detail->DevicePath, path);
    device->DevInst = node;
    return TRUE;
}
CONFIGRET WINAPI Parent(PDEVINST parent, DEVINST node, ULONG flags) {
    *parent = node + 100;
    return flags != 0                  ? CR_INVALID_FLAG
           : node == 13 || node >= 200 ? CR_NO_SUCH_DEVNODE
                                       : CR_SUCCESS;
}
CONFIGRET WINAPI Id(DEVINST node, PWSTR id, ULONG size, ULONG flags) {
    swprintf(id, size, L"ID\\%lu", node);
    return flags != 0 ? CR_INVALID_FLAG : node == 220 ? CR_NO_SUCH_DEVNODE : CR_SUCCESS;
}
CONFIGRET WINAPI Locate(PDEVINST node, DEVINSTID_W id, ULONG) {
    return swscanf(id, L"ID\\%lu", node) == 1 ? CR_SUCCESS : CR_NO_SUCH_DEVNODE;
}
// Node 120 is held open, which some systems report as a success with the veto filled in; node
// 130 is refused without a reason.
CONFIGRET WINAPI Eject(DEVINST node, PPNP_VETO_TYPE veto, LPWSTR name, ULONG size, ULONG flags) {
    if (node == 120)
        *veto = PNP_VetoOutstandingOpen, wcsncpy(name, L"\\Device\\HarddiskVolume5", size);
    return flags != 0 ? CR_INVALID_FLAG : node == 130 ? CR_REMOVE_VETOED : CR_SUCCESS;
}
BOOL WINAPI Destroy(HDEVINFO) {
    return TRUE;
}
TEST(DeviceEject, FindsTheParentOfTheDrivesDeviceAndAsksToEjectIt) {
    const wine_support::SwappedImport swapped[] = {
        {"CreateFileW", &Open}, {"DeviceIoControl", &Number}, {"GetDriveTypeW", &DriveType}};
    const varnel::win32::CfgMgrApi standIns{&Parent, &Id, &Locate, &Eject};
    const varnel::win32::ReplacedDll<varnel::win32::CfgMgrApi> replaced(standIns);
    const varnel::win32::SetupApi setupDi{&ListClass, &Enumerate, &Detail, &Destroy};
    const varnel::win32::ReplacedDll<varnel::win32::SetupApi> replacedSetupDi(setupDi);
    varnel::win32::DeviceEjectWin32 eject;
    // D: a removable disk, found among the disks past an interface that does not open and a
    // CD-ROM of its number, its detail 64 KiB, the most that is read; E: one whose disk claims a
    // detail too large to read, found among the floppies; F: a CD drive, found among CD-ROMs only;
    // G: a disk without a parent; X: a drive without a device number.
    const std::pair<char16_t, std::u16string> drives[] = {
        {u'D', u"ID\\111"}, {u'E', u"ID\\120"}, {u'F', u"ID\\130"}, {u'G', u""}, {u'X', u""}};
    for (const auto& [letter, device] : drives)
        EXPECT_EQ(eject.FindDevice(letter), device) << char(letter);
    // The chain runs from the drive's own device up to the last one with a parent, and ends at a
    // device whose id cannot be read.
    const std::pair<char16_t, std::vector<std::u16string>> chains[] = {
        {u'D', {u"ID\\11", u"ID\\111", u"ID\\211"}},
        {u'E', {u"ID\\20", u"ID\\120"}},
        {u'G', {u"ID\\13"}},
        {u'X', {}}};
    for (const auto& [letter, chain] : chains)
        EXPECT_EQ(eject.DeviceChain(letter), chain) << char(letter);

    EXPECT_TRUE(eject.RequestEject(u"ID\\111").accepted);
    const varnel::EjectAnswer held = eject.RequestEject(u"ID\\120");
    EXPECT_EQ(std::tuple(held.accepted, held.vetoType, held.vetoName),
              std::tuple(false, int(PNP_VetoOutstandingOpen), u"\\Device\\HarddiskVolume5"));
    EXPECT_FALSE(eject.RequestEject(u"ID\\130").accepted);
    EXPECT_THROW(eject.RequestEject(u"USB\\gone"), varnel::PlatformError);
}

}  // namespace

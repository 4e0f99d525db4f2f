#include "platform/win32/device_eject_win32.h"

#include <windows.h>
// windows.h first: the device headers rely on its types. initguid.h makes winioctl.h define the
// device interface classes of disks, CD-ROMs and floppies here rather than only declare them.
#include <cfgmgr32.h>
#include <initguid.h>
#include <setupapi.h>
#include <winioctl.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/platform_error.h"
#include "platform/win32/dynamic_calls_win32.h"
#include "platform/win32/scoped_device_info.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/storage_device_win32.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

std::optional<STORAGE_DEVICE_NUMBER> DeviceNumber(const wchar_t* path) {
    const ScopedHandle device(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    STORAGE_DEVICE_NUMBER number{};
    DWORD returned = 0;
    if (!device.Valid() || !DeviceIoControl(device.Get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr,
                                            0, &number, sizeof(number), &returned, nullptr)) {
        return std::nullopt;
    }
    return number;
}

// The device node of the interface of one class whose device number is the drive's.
std::optional<DEVINST> FindInterface(const GUID& interfaceClass,
                                     const STORAGE_DEVICE_NUMBER& wanted) {
    const SetupApi& setupDi = SetupDi();
    const ScopedDeviceInfoList owned(setupDi.getClassDevs(&interfaceClass, nullptr, nullptr,
                                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!owned.Valid()) {
        return std::nullopt;
    }
    const HDEVINFO set = owned.Get();
    std::optional<DEVINST> found;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    for (DWORD i = 0;
         !found && setupDi.enumInterfaces(set, nullptr, &interfaceClass, i, &interfaceData); ++i) {
        DWORD size = 0;
        setupDi.getInterfaceDetail(set, &interfaceData, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) || size > 64 * 1024) {
            continue;
        }
        std::vector<unsigned char> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof(device);
        if (!setupDi.getInterfaceDetail(set, &interfaceData, detail, size, nullptr, &device)) {
            continue;
        }
        const std::optional<STORAGE_DEVICE_NUMBER> number = DeviceNumber(detail->DevicePath);
        if (number && number->DeviceType == wanted.DeviceType &&
            number->DeviceNumber == wanted.DeviceNumber) {
            found = device.DevInst;
        }
    }
    return found;
}

// The device node of the drive's disk, CD-ROM or floppy device.
std::optional<DEVINST> DriveNode(char16_t letter) {
    const std::optional<STORAGE_DEVICE_NUMBER> number = DeviceNumber(VolumePath(letter).c_str());
    if (!number) {
        return std::nullopt;
    }
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
    const UINT type = GetDriveTypeW(root);
    std::vector<const GUID*> classes = {&GUID_DEVINTERFACE_DISK};
    if (type == DRIVE_CDROM) {
        classes = {&GUID_DEVINTERFACE_CDROM};
    } else if (type == DRIVE_REMOVABLE) {
        classes.push_back(&GUID_DEVINTERFACE_FLOPPY);
    }
    std::optional<DEVINST> disk;
    for (const GUID* interfaceClass : classes) {
        disk = disk ? disk : FindInterface(*interfaceClass, *number);
    }
    return disk;
}

std::optional<std::u16string> DeviceId(const CfgMgrApi& cm, DEVINST node) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (cm.getDeviceId(node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
        return std::nullopt;
    }
    return FromWide(id, wcsnlen(id, MAX_DEVICE_ID_LEN));
}

// A device tree is a few levels deep (volume, disk, USB device, hubs, controller, root); a longer
// chain is a tree that changes under the walk.
constexpr size_t kMaxChain = 32;

}  // namespace

std::u16string DeviceEjectWin32::FindDevice(char16_t letter) {
    const std::optional<DEVINST> disk = DriveNode(letter);
    if (!disk) {
        return {};
    }
    const CfgMgrApi& cm = CfgMgr();
    DEVINST parent = 0;
    if (cm.getParent(&parent, *disk, 0) != CR_SUCCESS) {
        return {};
    }
    return DeviceId(cm, parent).value_or(u"");
}

std::vector<std::u16string> DeviceEjectWin32::DeviceChain(char16_t letter) {
    std::vector<std::u16string> chain;
    std::optional<DEVINST> node = DriveNode(letter);
    if (!node) {
        return chain;
    }
    const CfgMgrApi& cm = CfgMgr();
    while (node && chain.size() < kMaxChain) {
        const std::optional<std::u16string> id = DeviceId(cm, *node);
        if (!id) {
            break;
        }
        chain.push_back(*id);
        DEVINST parent = 0;
        node = cm.getParent(&parent, *node, 0) == CR_SUCCESS ? std::optional(parent) : std::nullopt;
    }
    return chain;
}

EjectAnswer DeviceEjectWin32::RequestEject(const std::u16string& device) {
    const CfgMgrApi& cm = CfgMgr();
    DEVINST node = 0;
    std::wstring id(reinterpret_cast<const wchar_t*>(device.c_str()), device.size());
    const CONFIGRET located = cm.locate(&node, id.data(), CM_LOCATE_DEVNODE_NORMAL);
    if (located != CR_SUCCESS) {
        const std::string code = std::to_string(located);
        throw PlatformError(u"CM_Locate_DevNodeW",
                            u"CONFIGRET " + std::u16string(code.begin(), code.end()));
    }
    PNP_VETO_TYPE vetoType = PNP_VetoTypeUnknown;
    wchar_t vetoName[MAX_PATH + 1] = {};
    const CONFIGRET answer = cm.requestEject(node, &vetoType, vetoName, MAX_PATH, 0);
    EjectAnswer result;
    result.vetoType = static_cast<int>(vetoType);
    result.vetoName = FromWide(vetoName, wcsnlen(vetoName, MAX_PATH));
    result.accepted =
        answer == CR_SUCCESS && vetoType == PNP_VetoTypeUnknown && result.vetoName.empty();
    return result;
}

}  // namespace varnel::win32

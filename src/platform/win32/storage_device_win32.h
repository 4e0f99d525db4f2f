// The storage device behind a drive letter, as the system describes it: the one query that both
// the drive list and the volume facts of a forced eject stand on.
#pragma once

#include <optional>
#include <string>

namespace varnel::win32 {

// \\.\X:, the volume of a drive letter.
std::wstring VolumePath(char16_t letter);

struct StorageDevice {
    unsigned bus = 0;  // a STORAGE_BUS_TYPE (winioctl.h, which this header leaves to its users)
    bool removableMedia = false;
    std::wstring product;  // the product id, in lower case; empty when the device names none
};

// IOCTL_STORAGE_QUERY_PROPERTY on the drive's volume, opened with no access right (none is
// needed to ask a device about itself); nullopt when the system gives no description.
std::optional<StorageDevice> DescribeStorage(char16_t letter);

// USB, FireWire and SD: the buses of disks meant to be unplugged. (MMC is left out: internal
// eMMC storage sits on it.)
bool IsExternalBus(unsigned bus);

}  // namespace varnel::win32

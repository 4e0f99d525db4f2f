// The device behind a drive letter and the system's answer to a request to eject it.
#pragma once

#include <string>
#include <vector>

namespace varnel {

struct EjectAnswer {
    bool accepted = false;
    int vetoType = 0;         // PNP_VETO_TYPE when refused
    std::u16string vetoName;  // the device or service that refused, as the system names it
};

class DeviceEject {
public:
    virtual ~DeviceEject() = default;
    // The instance id of the device to eject for the drive (the parent of its disk, CD-ROM or
    // floppy device); empty when the drive has no such device.
    virtual std::u16string FindDevice(char16_t letter) = 0;
    // The instance ids of the drive's disk, CD-ROM or floppy device and of every device above it,
    // up to the root of the device tree; empty when the drive has no such device.
    virtual std::vector<std::u16string> DeviceChain(char16_t letter) = 0;
    // One request to eject the device. Throws PlatformError when it cannot be made at all.
    virtual EjectAnswer RequestEject(const std::u16string& device) = 0;
};

}  // namespace varnel

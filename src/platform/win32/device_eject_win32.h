// The device behind a drive letter, found through its device number and SetupDi, and the
// system's plug-and-play request to eject it.
#pragma once

#include "platform/device_eject.h"

namespace varnel::win32 {

class DeviceEjectWin32 : public DeviceEject {
public:
    std::u16string FindDevice(char16_t letter) override;
    std::vector<std::u16string> DeviceChain(char16_t letter) override;
    EjectAnswer RequestEject(const std::u16string& device) override;
};

}  // namespace varnel::win32

// Asking the system to eject the device behind a drive, a few times, and how it ended.
#pragma once

#include <string>

#include "platform/clock.h"
#include "platform/device_eject.h"

namespace varnel::holders {

enum class EjectResult { Ejected, Vetoed, DeviceNotFound };

struct EjectOutcome {
    EjectResult result = EjectResult::DeviceNotFound;
    std::u16string device;  // the device asked to eject
    int tries = 0;
    EjectAnswer lastAnswer;  // the veto, when vetoed
};

inline constexpr int kEjectTries = 3;
inline constexpr uint32_t kEjectPauseMs = 500;

// Finds the drive's device and requests its ejection up to kEjectTries times, kEjectPauseMs
// apart, while the system vetoes. PlatformError from the device layer passes through.
EjectOutcome EjectDrive(char16_t letter, DeviceEject& devices, MillisecondClock& clock);
// The same requests for a device already found (empty: not found).
EjectOutcome EjectDevice(const std::u16string& device, DeviceEject& devices,
                         MillisecondClock& clock);

}  // namespace varnel::holders

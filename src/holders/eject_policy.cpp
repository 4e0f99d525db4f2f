#include "holders/eject_policy.h"

namespace varnel::holders {

EjectOutcome EjectDrive(char16_t letter, DeviceEject& devices, MillisecondClock& clock) {
    return EjectDevice(devices.FindDevice(letter), devices, clock);
}

EjectOutcome EjectDevice(const std::u16string& device, DeviceEject& devices,
                         MillisecondClock& clock) {
    EjectOutcome outcome;
    outcome.device = device;
    if (outcome.device.empty()) {
        return outcome;
    }
    outcome.result = EjectResult::Vetoed;
    while (outcome.tries < kEjectTries) {
        if (outcome.tries > 0) {
            clock.Sleep(kEjectPauseMs);
        }
        ++outcome.tries;
        outcome.lastAnswer = devices.RequestEject(outcome.device);
        if (outcome.lastAnswer.accepted) {
            outcome.result = EjectResult::Ejected;
            break;
        }
    }
    return outcome;
}

}  // namespace varnel::holders

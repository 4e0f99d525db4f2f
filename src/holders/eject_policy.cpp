#include "holders/eject_policy.h"

namespace varnel::holders {

EjectOutcome EjectDrive(char16_t letter, DeviceEject& devices, Pacer& pacer) {
    return EjectDevice(devices.FindDevice(letter), devices, pacer);
}

EjectOutcome EjectDevice(const std::u16string& device, DeviceEject& devices, Pacer& pacer) {
    EjectOutcome outcome;
    outcome.device = device;
    if (outcome.device.empty()) {
        return outcome;
    }
    outcome.result = EjectResult::Vetoed;
    while (outcome.tries < kEjectTries) {
        if (outcome.tries > 0) {
            pacer.SleepMs(kEjectPauseMs);
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

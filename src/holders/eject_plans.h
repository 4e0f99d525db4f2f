// The ejections beyond one request: every drive at once, waiting for a holder to let go, a
// forced eject that asks first, and the ejection of a card reader's medium alone.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "holders/eject_policy.h"
#include "holders/free_policy.h"
#include "holders/holder_model.h"
#include "platform/drives.h"
#include "platform/volumes.h"

namespace varnel::holders {

// One drive of `eject --all`. A drive whose device was met on an earlier drive (two volumes of
// one disk) is not ejected again: it goes with that drive.
struct PlannedEject {
    char16_t letter = 0;
    char16_t sameDeviceAs = 0;  // 0: ejected on its own
};

// The removable and external drives in letter order, each device once; disc drives are left out.
std::vector<PlannedEject> PlanEjectAll(const std::vector<DriveInfo>& drives, DeviceEject& devices);
// The drives without SUBST letters, which have no device of their own: their drive's letter
// ejects that device.
std::vector<DriveInfo> WithoutSubstitutes(std::vector<DriveInfo> drives, Drives& names);

// The exit code of several results: an error before a held drive before success.
int WorstExitCode(const std::vector<int>& exitCodes);

// Requests the eject every kEjectPauseMs while the system vetoes it, until it is accepted or
// `seconds` have passed; after each veto looks at the holders and calls `changed` when they
// differ from the ones it last reported (the first veto always reports).
EjectOutcome EjectWaiting(char16_t letter, DeviceEject& devices, MillisecondClock& clock,
                          uint32_t seconds, const LookAtDrive& look,
                          const std::function<void(const HolderReport&)>& changed);

inline constexpr int kLockTries = 10;
inline constexpr uint32_t kLockPauseMs = 500;

// Why a forced or medium eject is not even tried.
enum class Refusal { None, WindowsVolume, PageFileVolume, FixedDisk };

Refusal RefusalFor(const VolumeFacts& facts);

enum class EjectStep {
    Locked,          // the lock held: every file was closed and flushed
    LockRefused,     // files stay open after kLockTries tries
    NotConfirmed,    // the user did not agree to dismount with files open
    Dismounted,      // the volume was taken from under the programs that hold it
    EjectRequested,  // the device's eject was requested (EjectOutcome says how it went)
    RemovalAllowed,  // the drive no longer prevents the medium's removal
    MediumEjected,   // the medium went; the reader stays
    Unlocked,        // the lock was given back because the sequence stopped early
};

struct EjectSteps {
    Refusal refusal = Refusal::None;
    std::vector<EjectStep> steps;
    std::optional<EjectOutcome> eject;  // when the device's eject was requested
};

// Asked before a dismount with files still open: true to go on.
using ConfirmDismount = std::function<bool()>;

// After a veto: locks the volume (kLockTries tries, kLockPauseMs apart) and with the lock held
// requests the eject; when the lock is refused and `confirm` agrees, dismounts the volume and
// then requests the eject. Never touches the Windows volume, a page-file volume or an internal
// disk. A lock is given back whenever the sequence does not end with the drive ejected.
EjectSteps ForceEject(char16_t letter, Volumes& volumes, DeviceEject& devices,
                      MillisecondClock& clock, const ConfirmDismount& confirm);

// Ejects the medium alone, so that a card reader stays usable: lock, dismount, allow removal,
// eject the medium. A refused lock stops it (the caller shows the holders as for a veto); the
// lock is given back when a later step fails, whose PlatformError passes on.
EjectSteps EjectMedium(char16_t letter, Volumes& volumes, MillisecondClock& clock);

// The step's name in the JSON and its line for a person.
const char* StepName(EjectStep step);
std::u16string StepText(EjectStep step);
std::u16string RefusalText(char16_t letter, Refusal refusal);
const char* RefusalName(Refusal refusal);  // "" for None

}  // namespace varnel::holders

#include "holders/eject_plans.h"

#include <algorithm>
#include <map>

#include "holders/console_commands.h"
#include "holders/drive_match.h"
#include "platform/platform_error.h"

namespace varnel::holders {
namespace {

bool SameHolders(const HolderReport& a, const HolderReport& b) {
    if (a.uninspected != b.uninspected || a.holders.size() != b.holders.size()) {
        return false;
    }
    return std::equal(a.holders.begin(), a.holders.end(), b.holders.begin(),
                      [](const Holder& x, const Holder& y) {
                          return x.pid == y.pid && x.program == y.program && x.holds == y.holds;
                      });
}

// Gives the lock back, and says so, when the sequence stops with the volume still locked. A
// failed unlock is left alone: the handle's closing, right after, gives the lock back too.
void GiveBack(VolumeHandle& volume, EjectSteps& outcome) {
    try {
        volume.Unlock();
    } catch (const PlatformError&) {
    }
    outcome.steps.push_back(EjectStep::Unlocked);
}

bool LockWithRetries(VolumeHandle& volume, MillisecondClock& clock) {
    for (int tries = 0; tries < kLockTries; ++tries) {
        if (tries > 0) {
            clock.Sleep(kLockPauseMs);
        }
        if (volume.Lock()) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<PlannedEject> PlanEjectAll(const std::vector<DriveInfo>& drives, DeviceEject& devices) {
    std::vector<DriveInfo> sorted = drives;
    std::sort(sorted.begin(), sorted.end(),
              [](const DriveInfo& a, const DriveInfo& b) { return a.letter < b.letter; });
    std::map<std::u16string, char16_t> firstOfDevice;
    std::vector<PlannedEject> plan;
    for (const DriveInfo& drive : sorted) {
        if (drive.kind == DriveKind::CdRom) {
            continue;  // a disc drive stays: its eject only opens the tray
        }
        PlannedEject planned{drive.letter, 0};
        const std::u16string device = devices.FindDevice(drive.letter);
        if (!device.empty()) {
            const auto [first, isNew] = firstOfDevice.emplace(device, drive.letter);
            if (!isNew) {
                planned.sameDeviceAs = first->second;
            }
        }
        plan.push_back(planned);
    }
    return plan;
}

std::vector<DriveInfo> WithoutSubstitutes(std::vector<DriveInfo> drives, Drives& names) {
    std::erase_if(drives, [&names](const DriveInfo& drive) {
        return IsSubstitute(names.DeviceName(drive.letter));
    });
    return drives;
}

int WorstExitCode(const std::vector<int>& exitCodes) {
    // From best to worst: clear, incomplete, held, error.
    static constexpr int kOrder[] = {kExitClear, kExitIncomplete, kExitHeld, kExitError};
    const auto rank = [](int code) {
        return static_cast<int>(std::find(std::begin(kOrder), std::end(kOrder), code) -
                                std::begin(kOrder));
    };
    int worst = kExitClear;
    for (const int code : exitCodes) {
        if (rank(code) > rank(worst)) {
            worst = code;
        }
    }
    return worst;
}

EjectOutcome EjectWaiting(char16_t letter, DeviceEject& devices, MillisecondClock& clock,
                          uint32_t seconds, const LookAtDrive& look,
                          const std::function<void(const HolderReport&)>& changed) {
    EjectOutcome outcome;
    outcome.device = devices.FindDevice(letter);
    if (outcome.device.empty()) {
        return outcome;
    }
    outcome.result = EjectResult::Vetoed;
    const uint32_t start = clock.Now();
    const uint64_t limitMs = uint64_t{seconds} * 1000;
    std::optional<HolderReport> shown;
    for (;;) {
        ++outcome.tries;
        outcome.lastAnswer = devices.RequestEject(outcome.device);
        if (outcome.lastAnswer.accepted) {
            outcome.result = EjectResult::Ejected;
            return outcome;
        }
        HolderReport now = look();
        if (!shown || !SameHolders(*shown, now)) {
            changed(now);
            shown = std::move(now);
        }
        if (uint64_t{clock.Now() - start} + kEjectPauseMs > limitMs) {
            return outcome;
        }
        clock.Sleep(kEjectPauseMs);
    }
}

Refusal RefusalFor(const VolumeFacts& facts) {
    if (facts.windowsVolume) {
        return Refusal::WindowsVolume;
    }
    if (facts.pageFileVolume) {
        return Refusal::PageFileVolume;
    }
    return facts.fixedDisk ? Refusal::FixedDisk : Refusal::None;
}

EjectSteps ForceEject(char16_t letter, Volumes& volumes, DeviceEject& devices,
                      MillisecondClock& clock, const ConfirmDismount& confirm) {
    EjectSteps outcome;
    outcome.refusal = RefusalFor(volumes.Describe(letter));
    if (outcome.refusal != Refusal::None) {
        return outcome;
    }
    // The device is found before the lock: a locked volume lets nobody open it, us included.
    const std::u16string device = devices.FindDevice(letter);
    const std::unique_ptr<VolumeHandle> volume = volumes.Open(letter);
    const bool locked = LockWithRetries(*volume, clock);
    if (locked) {
        outcome.steps.push_back(EjectStep::Locked);
    } else {
        outcome.steps.push_back(EjectStep::LockRefused);
        if (!confirm()) {
            outcome.steps.push_back(EjectStep::NotConfirmed);
            return outcome;
        }
        volume->Dismount();
        outcome.steps.push_back(EjectStep::Dismounted);
    }
    try {
        outcome.eject = EjectDevice(device, devices, clock);
    } catch (const PlatformError&) {
        if (locked) {
            GiveBack(*volume, outcome);
        }
        throw;
    }
    outcome.steps.push_back(EjectStep::EjectRequested);
    if (locked && outcome.eject->result != EjectResult::Ejected) {
        GiveBack(*volume, outcome);
    }
    return outcome;
}

EjectSteps EjectMedium(char16_t letter, Volumes& volumes, MillisecondClock& clock) {
    EjectSteps outcome;
    outcome.refusal = RefusalFor(volumes.Describe(letter));
    if (outcome.refusal != Refusal::None) {
        return outcome;
    }
    const std::unique_ptr<VolumeHandle> volume = volumes.Open(letter);
    if (!LockWithRetries(*volume, clock)) {
        outcome.steps.push_back(EjectStep::LockRefused);
        return outcome;
    }
    outcome.steps.push_back(EjectStep::Locked);
    try {
        volume->Dismount();
        outcome.steps.push_back(EjectStep::Dismounted);
        volume->AllowRemoval();
        outcome.steps.push_back(EjectStep::RemovalAllowed);
        volume->EjectMedia();
        outcome.steps.push_back(EjectStep::MediumEjected);
    } catch (const PlatformError&) {
        GiveBack(*volume, outcome);
        throw;
    }
    return outcome;
}

const char* StepName(EjectStep step) {
    static const char* const kNames[] = {"locked",         "lock_refused",    "not_confirmed",
                                         "dismounted",     "eject_requested", "removal_allowed",
                                         "medium_ejected", "unlocked"};
    return kNames[static_cast<int>(step)];
}

std::u16string StepText(EjectStep step) {
    static const char16_t* const kTexts[] = {
        u"已锁定卷:所有文件均已关闭并写入。",
        u"无法锁定卷:仍有程序打开着其中的文件。",
        u"未确认,已停止:卷没有被强制卸载。",
        u"已强制卸载卷:仍打开其中文件的程序将无法再保存到该驱动器。",
        u"已请求弹出设备。",
        u"已允许取出介质。",
        u"已弹出介质,读卡器仍可使用。",
        u"已解除卷的锁定。",
    };
    return kTexts[static_cast<int>(step)];
}

const char* RefusalName(Refusal refusal) {
    static const char* const kNames[] = {"", "windows_volume", "page_file_volume", "fixed_disk"};
    return kNames[static_cast<int>(refusal)];
}

std::u16string RefusalText(char16_t letter, Refusal refusal) {
    const std::u16string drive = {letter, u':'};
    switch (refusal) {
        case Refusal::WindowsVolume:
            return drive + u" 是 Windows 所在的卷,拒绝强制弹出。";
        case Refusal::PageFileVolume:
            return drive + u" 上有页面文件,拒绝强制弹出。";
        case Refusal::FixedDisk:
            return drive + u" 是内置的固定磁盘,拒绝强制弹出。";
        case Refusal::None:
            break;
    }
    return {};
}

}  // namespace varnel::holders

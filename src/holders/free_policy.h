// Freeing a drive: ask each holder to close, wait, look again, and with leave to do so end the
// ones left. Some processes are never ended, whatever the user asks.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "holders/holder_model.h"
#include "platform/process_control.h"

namespace varnel::holders {

enum class SpareReason { None, Self, Critical, Unidentified };

// System, smss, csrss, wininit, winlogon, services, lsass: ending any of them stops Windows.
bool IsCriticalSystemName(const std::u16string& program);
bool IsShell(const std::u16string& program);
// Why a holder is never ended (None: it may be).
SpareReason SpareReasonFor(const Holder& holder, ProcessControl& control);

struct FreeOptions {
    bool kill = false;
    uint32_t waitSeconds = 5;
};

struct LeftHolder {
    Holder holder;
    SpareReason spared = SpareReason::None;  // None: it declined to close (and was not ended)
};

struct FreeOutcome {
    std::vector<Holder> closed;  // gone after being asked
    std::vector<Holder> ended;   // ended with --kill
    std::vector<LeftHolder> left;
    bool shellEnded = false;  // explorer.exe was among the holders that went
    bool shellRestarted = false;
    int uninspected = 0;  // in the last look
};

using LookAtDrive = std::function<HolderReport()>;

FreeOutcome FreeDrive(const LookAtDrive& look, ProcessControl& control, Pacer& pacer,
                      const FreeOptions& options);

}  // namespace varnel::holders

#include "holders/free_policy.h"

#include <algorithm>
#include <set>

#include "text/ascii_case.h"

namespace varnel::holders {
namespace {

// How often the wait looks whether the asked processes have gone, and how long an ended
// process may take to disappear.
constexpr uint32_t kPollMs = 100;
constexpr uint64_t kEndGraceMs = 2000;

// Waits until none of the processes runs or the time is up.
void WaitForExit(const std::vector<uint32_t>& pids, ProcessControl& control, Pacer& pacer,
                 uint64_t limitMs) {
    const uint64_t start = pacer.NowMs();
    while (std::any_of(pids.begin(), pids.end(),
                       [&](uint32_t pid) { return control.IsRunning(pid); })) {
        if (pacer.NowMs() - start >= limitMs) {
            return;
        }
        pacer.SleepMs(kPollMs);
    }
}

const Holder* Find(const HolderReport& report, uint32_t pid) {
    for (const Holder& holder : report.holders) {
        if (holder.pid == pid) {
            return &holder;
        }
    }
    return nullptr;
}

}  // namespace

SpareReason SpareReasonFor(const Holder& holder, ProcessControl& control) {
    if (holder.pid == control.SelfId()) {
        return SpareReason::Self;
    }
    if (holder.program.empty() || holder.pid == 0) {
        return SpareReason::Unidentified;
    }
    if (IsCriticalSystemName(holder.program) || control.IsCritical(holder.pid)) {
        return SpareReason::Critical;
    }
    return SpareReason::None;
}

bool IsCriticalSystemName(const std::u16string& program) {
    static const std::set<std::u16string> kNames = {
        u"system",       u"smss.exe",     u"csrss.exe", u"wininit.exe",
        u"winlogon.exe", u"services.exe", u"lsass.exe"};
    return kNames.count(AsciiLower(program)) != 0;
}

bool IsShell(const std::u16string& program) {
    return AsciiLower(program) == u"explorer.exe";
}

FreeOutcome FreeDrive(const LookAtDrive& look, ProcessControl& control, Pacer& pacer,
                      const FreeOptions& options) {
    FreeOutcome outcome;
    const HolderReport before = look();
    std::vector<uint32_t> asked;
    std::vector<uint32_t> withWindows;  // only a process that was asked through a window can answer
    for (const Holder& holder : before.holders) {
        if (SpareReasonFor(holder, control) == SpareReason::None) {
            asked.push_back(holder.pid);
            if (control.AskToClose(holder.pid) > 0) {
                withWindows.push_back(holder.pid);
            }
        }
    }
    WaitForExit(withWindows, control, pacer, uint64_t{options.waitSeconds} * 1000);

    HolderReport after = look();
    bool endedShell = false;
    if (options.kill) {
        std::vector<uint32_t> ending;
        for (const Holder& holder : after.holders) {
            if (SpareReasonFor(holder, control) == SpareReason::None &&
                control.Terminate(holder.pid, holder.program)) {
                ending.push_back(holder.pid);
                outcome.ended.push_back(holder);
                endedShell = endedShell || IsShell(holder.program);
            }
        }
        if (!ending.empty()) {
            WaitForExit(ending, control, pacer, kEndGraceMs);
            after = look();
        }
    }
    for (const Holder& holder : before.holders) {
        const bool wasEnded = std::any_of(outcome.ended.begin(), outcome.ended.end(),
                                          [&](const Holder& h) { return h.pid == holder.pid; });
        if (!wasEnded && Find(after, holder.pid) == nullptr &&
            std::count(asked.begin(), asked.end(), holder.pid) != 0) {
            outcome.closed.push_back(holder);
            endedShell = endedShell || (IsShell(holder.program) && !control.IsRunning(holder.pid));
        }
    }
    for (const Holder& holder : after.holders) {
        outcome.left.push_back({holder, SpareReasonFor(holder, control)});
    }
    outcome.uninspected = after.uninspected;
    if (endedShell) {
        outcome.shellEnded = true;
        outcome.shellRestarted = control.StartShell();
    }
    return outcome;
}

}  // namespace varnel::holders

#include "holders/free_policy.h"

#include <algorithm>
#include <set>

#include "holders/explorer_windows.h"
#include "platform/platform_error.h"
#include "text/ascii_case.h"

namespace varnel::holders {
namespace {

// How often the wait looks whether the asked processes have gone, and how long an ended
// process may take to disappear.
constexpr uint32_t kPollMs = 100;
constexpr uint32_t kEndGraceMs = 2000;
// A chain of parents longer than this is a loop of reused ids, not a family.
constexpr size_t kMaxAncestors = 64;

const ProcessRecord* FindRecord(const std::vector<ProcessRecord>& snapshot, uint32_t id) {
    const auto it = std::find_if(snapshot.begin(), snapshot.end(),
                                 [&](const ProcessRecord& p) { return p.id == id; });
    return it == snapshot.end() ? nullptr : &*it;
}

struct SparedProcess {
    ProcessRecord process;
    SpareReason reason = SpareReason::None;
};

// The callers and the other runs of this program in one snapshot. The chain of parents stops at
// a parent that started after its child: it holds an id the real parent left behind.
std::vector<SparedProcess> SparedProcesses(const std::vector<ProcessRecord>& snapshot,
                                           uint32_t self, const ProcessTable& processes) {
    std::vector<SparedProcess> spared;
    const ProcessRecord* me = FindRecord(snapshot, self);
    if (me == nullptr) {
        return spared;
    }
    const ProcessRecord* child = me;
    while (spared.size() < kMaxAncestors) {
        const ProcessRecord* parent = FindRecord(snapshot, child->parentId);
        if (parent == nullptr || parent == child || parent->creationTime > child->creationTime) {
            break;
        }
        spared.push_back({*parent, SpareReason::Caller});
        child = parent;
    }
    if (!me->imagePath.empty()) {
        const std::u16string path = processes.ToLower(me->imagePath);
        for (const ProcessRecord& process : snapshot) {
            if (process.id != self && processes.ToLower(process.imagePath) == path) {
                spared.push_back({process, SpareReason::SameProgram});
            }
        }
    }
    return spared;
}

class Judge {
public:
    explicit Judge(ProcessTable& processes)
        : processes_(processes), self_(processes.CurrentProcessId()) {
        Refresh();
    }

    // Takes the spared processes from a new snapshot: a run of this program that started since
    // the last one is in it.
    void Refresh() { spared_ = SparedProcesses(processes_.Snapshot(), self_, processes_); }

    SpareReason ReasonFor(const Holder& holder) {
        if (holder.pid == self_) {
            return SpareReason::Self;
        }
        for (const SparedProcess& spared : spared_) {
            if (spared.process.id == holder.pid &&
                spared.process.creationTime == holder.creationTime) {
                return spared.reason;
            }
        }
        if (!holder.holds.empty() &&
            std::all_of(holder.holds.begin(), holder.holds.end(),
                        [](const Hold& hold) { return hold.kind == HoldKind::Unknown; })) {
            return SpareReason::UnknownUse;
        }
        if (holder.program.empty() || holder.pid == 0) {
            return SpareReason::Unidentified;
        }
        if (IsCriticalSystemName(holder.program) || processes_.IsCritical(holder.pid)) {
            return SpareReason::Critical;
        }
        return SpareReason::None;
    }

private:
    ProcessTable& processes_;
    uint32_t self_;
    std::vector<SparedProcess> spared_;
};

// Waits until none of the processes runs or the time is up.
void WaitForExit(const std::vector<uint32_t>& pids, ProcessTable& processes,
                 MillisecondClock& clock, uint32_t limitMs) {
    const uint32_t start = clock.Now();
    while (std::any_of(pids.begin(), pids.end(),
                       [&](uint32_t pid) { return processes.IsRunning(pid); })) {
        if (clock.Now() - start >= limitMs) {
            return;
        }
        clock.Sleep(kPollMs);
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

// Ends the holder if it is still the process that was seen holding the drive.
bool End(const Holder& holder, ProcessTable& processes) {
    try {
        return processes.Terminate({holder.pid, holder.program, 0, holder.creationTime});
    } catch (const PlatformError&) {
        // One that may not be ended (another user's, a protected one) is reported as left
        // running, with the others freed around it.
        return false;
    }
}

// The shell went with the holders: the user gets a taskbar and a desktop again.
void RestartShell(FreeOutcome& outcome, ProgramStarter& starter) {
    outcome.shellEnded = true;
    try {
        starter.Start(SystemProgram::Shell, u"explorer.exe", kShowMinimized);
        outcome.shellRestarted = true;
    } catch (const PlatformError&) {
        // Reported as a shell that did not start again; the drive is free all the same.
    }
}

}  // namespace

bool IsCriticalSystemName(const std::u16string& program) {
    static const std::set<std::u16string> kNames = {
        u"system",       u"smss.exe",     u"csrss.exe", u"wininit.exe",
        u"winlogon.exe", u"services.exe", u"lsass.exe"};
    return kNames.count(AsciiLower(program)) != 0;
}

bool IsShell(const std::u16string& program) {
    return AsciiLower(program) == u"explorer.exe";
}

FreeOutcome FreeDrive(const LookAtDrive& look, ProcessTable& processes, ProgramStarter& starter,
                      MillisecondClock& clock, const FreeOptions& options) {
    FreeOutcome outcome;
    const HolderReport before = look();
    Judge judge(processes);
    std::vector<uint32_t> asked;
    std::vector<uint32_t> withWindows;  // only a process that was asked through a window can answer
    for (const Holder& holder : before.holders) {
        if (judge.ReasonFor(holder) == SpareReason::None) {
            asked.push_back(holder.pid);
            if (processes.AskToClose(holder.pid) > 0) {
                withWindows.push_back(holder.pid);
            }
        }
    }
    WaitForExit(withWindows, processes, clock, options.waitSeconds * 1000);

    HolderReport after = look();
    judge.Refresh();
    bool endedShell = false;
    if (options.kill) {
        std::vector<uint32_t> ending;
        for (const Holder& holder : after.holders) {
            if (judge.ReasonFor(holder) == SpareReason::None && End(holder, processes)) {
                ending.push_back(holder.pid);
                outcome.ended.push_back(holder);
                endedShell = endedShell || IsShell(holder.program);
            }
        }
        if (!ending.empty()) {
            WaitForExit(ending, processes, clock, kEndGraceMs);
            after = look();
        }
    }
    for (const Holder& holder : before.holders) {
        const bool wasEnded = std::any_of(outcome.ended.begin(), outcome.ended.end(),
                                          [&](const Holder& h) { return h.pid == holder.pid; });
        if (!wasEnded && Find(after, holder.pid) == nullptr &&
            std::count(asked.begin(), asked.end(), holder.pid) != 0) {
            outcome.closed.push_back(holder);
            endedShell =
                endedShell || (IsShell(holder.program) && !processes.IsRunning(holder.pid));
        }
    }
    for (const Holder& holder : after.holders) {
        outcome.left.push_back({holder, judge.ReasonFor(holder)});
    }
    outcome.uninspected = after.uninspected;
    if (endedShell) {
        RestartShell(outcome, starter);
    }
    return outcome;
}

WindowsClosing CloseExplorerWindows(ShellWindows& shell, char16_t letter, MillisecondClock& clock) {
    WindowsClosing closing;
    std::vector<ShellWindow> asked;  // closed as far as the shell said
    try {
        for (const ShellWindow& window : WindowsOnDrive(shell.List(), letter)) {
            (shell.Close(window.id) ? asked : closing.left).push_back(window);
        }
        const uint32_t start = clock.Now();
        while (!asked.empty()) {
            const std::vector<ShellWindow> shown = WindowsOnDrive(shell.List(), letter);
            std::vector<ShellWindow> waiting;
            for (const ShellWindow& window : asked) {
                const bool gone =
                    std::none_of(shown.begin(), shown.end(),
                                 [&](const ShellWindow& s) { return s.id == window.id; });
                (gone ? closing.closed : waiting).push_back(window);
            }
            asked = std::move(waiting);
            if (asked.empty() || clock.Now() - start >= kWindowCloseMs) {
                break;
            }
            clock.Sleep(kPollMs);
        }
        closing.left.insert(closing.left.end(), asked.begin(), asked.end());
    } catch (const PlatformError& error) {
        // The processes are asked all the same, explorer.exe among them if it holds a folder.
        closing.closed.insert(closing.closed.end(), asked.begin(), asked.end());
        closing.error = error.Operation() + u" / " + error.Detail();
    }
    return closing;
}

std::vector<SpareReason> SpareReasons(const std::vector<Holder>& holders, ProcessTable& processes) {
    Judge judge(processes);
    std::vector<SpareReason> reasons;
    for (const Holder& holder : holders) {
        reasons.push_back(judge.ReasonFor(holder));
    }
    return reasons;
}

FreeOutcome EndHolders(const std::vector<Holder>& holders, ProcessTable& processes,
                       ProgramStarter& starter, MillisecondClock& clock) {
    FreeOutcome outcome;
    Judge judge(processes);
    std::vector<uint32_t> ending;
    for (const Holder& holder : holders) {
        const SpareReason reason = judge.ReasonFor(holder);
        if (reason == SpareReason::None && End(holder, processes)) {
            ending.push_back(holder.pid);
            outcome.ended.push_back(holder);
        } else {
            outcome.left.push_back({holder, reason});
        }
    }
    WaitForExit(ending, processes, clock, kEndGraceMs);
    if (std::any_of(outcome.ended.begin(), outcome.ended.end(),
                    [](const Holder& h) { return IsShell(h.program); })) {
        RestartShell(outcome, starter);
    }
    return outcome;
}

}  // namespace varnel::holders

// Recording fakes of the system services the repair actions use, journaling like the window's.
#pragma once

#include <functional>
#include <set>

#include "fakes/fake_window.h"
#include "log/activity_log.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/platform_error.h"
#include "platform/processes.h"

namespace varnel::testing {

// A process list that ends every process but those the system would not let go (refused).
// Lower-cases ASCII and the basic Cyrillic capitals, enough to show that the comparison goes
// through ToLower rather than an ASCII-only rule.
struct FakeProcessTable : ProcessTable {
    std::vector<ProcessRecord> Snapshot() override { return running; }
    bool Terminate(const ProcessRecord& process) override {
        if (refused.count(process.id) != 0)
            throw PlatformError(u"OpenProcess", u"拒绝访问。");
        terminated.push_back(process.id);
        Note(journal, u"terminate " + Number(process.id));
        return true;
    }
    int AskToClose(uint32_t) override { return 0; }
    bool IsRunning(uint32_t) override { return false; }
    bool IsCritical(uint32_t) override { return false; }
    std::u16string ToLower(const std::u16string& text) const override {
        std::u16string lower = text;
        for (char16_t& c : lower)
            c += (c >= u'A' && c <= u'Z') || (c >= u'\u0410' && c <= u'\u042F') ? 0x20 : 0;
        return lower;
    }
    uint32_t CurrentProcessId() const override { return 9999; }

    std::vector<ProcessRecord> running;
    std::set<uint32_t> refused;
    std::vector<uint32_t> terminated;
    Journal* journal = nullptr;
};

struct FakeClipboard : Clipboard {
    void Empty() override {
        if (fails)
            throw PlatformError(u"清空剪贴板", u"access denied");
        ++emptied;
        Note(journal, u"empty clipboard");
    }
    bool fails = false;
    int emptied = 0;
    Journal* journal = nullptr;
};

// Starts nothing; a command line in failing throws instead.
struct FakeProgramStarter : ProgramStarter {
    struct Started {
        std::u16string commandLine;
        int showStyle;
        bool operator==(const Started&) const = default;
    };
    void Start(SystemProgram program, const std::u16string& commandLine, int showStyle) override {
        if (failing.count(commandLine) != 0)
            throw PlatformError(u"启动程序 " + commandLine, u"x");
        started.push_back({commandLine, showStyle});
        Note(journal, (program == SystemProgram::Shell ? u"shell " : u"rundll32 ") + commandLine +
                          u" /" + Number(showStyle));
    }
    std::set<std::u16string> failing;
    std::vector<Started> started;
    Journal* journal = nullptr;
};

struct FakeClock : MillisecondClock {
    uint32_t Now() override { return now; }
    void Sleep(uint32_t ms) override { now += ms; }
    uint32_t now = 0;
};

// Waiting advances the fake clock: by the whole time-out, or up to the next event when events
// arrive every eventEveryMs. onDispatch plays the nested handlers; its result is the pump's.
struct FakeEventPump : EventPump {
    explicit FakeEventPump(FakeClock& clock) : clock(clock) {}
    void WaitForEvents(uint32_t timeoutMs) override {
        timeouts.push_back(timeoutMs);
        clock.now += (eventEveryMs != 0 && eventEveryMs < timeoutMs) ? eventEveryMs : timeoutMs;
    }
    bool DispatchPending() override { return onDispatch ? onDispatch(timeouts.size()) : true; }

    uint32_t eventEveryMs = 0;
    std::function<bool(size_t dispatch)> onDispatch;
    std::vector<uint32_t> timeouts;

    FakeClock& clock;
};

struct FakeWindowPresence : WindowPresence {
    bool IsOpen() const override { return open; }
    bool open = true;
};

// The log, status line, boxes and system services of a repair, all writing into one journal.
struct RepairRig {
    RepairRig() {
        for (Journal** j : {&list.journal, &status.journal, &boxes.journal, &processes.journal,
                            &clipboard.journal, &starter.journal})
            *j = &journal;
    }

    Journal journal;
    FakeLogList list;
    FakeStatusBar status;
    FakeTimeOfDay time;
    ActivityLog log{list, status, time};
    FakeMessageBoxes boxes;
    FakeProcessTable processes;
    FakeClipboard clipboard;
    FakeProgramStarter starter;
};

}  // namespace varnel::testing

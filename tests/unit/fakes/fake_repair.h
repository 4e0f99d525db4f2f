// Recording fakes of the system services the repair actions use. Every fake can write what
// happened into one shared journal, so a test can check the order of effects across services.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_window.h"
#include "log/activity_log.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/platform_error.h"
#include "platform/processes.h"

namespace varnel::testing {

using Journal = std::vector<std::u16string>;

inline std::u16string Number(long long value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

// A process list. Lower-cases ASCII and the basic Cyrillic capitals, enough to show that the
// comparison goes through ToLower rather than an ASCII-only rule.
class FakeProcessTable : public ProcessTable {
public:
    bool ForEachProcess(const std::function<void(const ProcessRecord&)>& visit) override {
        if (snapshotFails)
            return false;
        const std::vector<ProcessRecord> snapshot = running;
        for (const ProcessRecord& process : snapshot)
            visit(process);
        return true;
    }
    bool Terminate(uint32_t id) override {
        if (unopenable.count(id) != 0)
            return false;
        terminated.push_back(id);
        if (journal != nullptr)
            journal->push_back(u"terminate " + Number(id));
        return true;
    }
    std::u16string ToLower(const std::u16string& text) const override {
        std::u16string lower = text;
        for (char16_t& c : lower) {
            if ((c >= u'A' && c <= u'Z') || (c >= u'\u0410' && c <= u'\u042F'))
                c += 0x20;
        }
        return lower;
    }
    uint32_t CurrentProcessId() const override { return self; }

    std::vector<ProcessRecord> running;
    uint32_t self = 9999;  // the tool's own process
    std::set<uint32_t> unopenable;
    bool snapshotFails = false;
    std::vector<uint32_t> terminated;
    Journal* journal = nullptr;
};

class FakeClipboard : public Clipboard {
public:
    void Empty() override {
        if (fails)
            throw PlatformError(u"清空剪贴板", u"access denied");
        ++emptied;
        if (journal != nullptr)
            journal->push_back(u"empty clipboard");
    }
    bool fails = false;
    int emptied = 0;
    Journal* journal = nullptr;
};

class FakeProgramStarter : public ProgramStarter {
public:
    struct Started {
        std::u16string commandLine;
        int showStyle;
        bool operator==(const Started&) const = default;
    };
    void Start(SystemProgram program, const std::u16string& commandLine, int showStyle) override {
        if (failing.count(commandLine) != 0)
            throw PlatformError(u"启动程序 " + commandLine, u"x");
        started.push_back({commandLine, showStyle});
        programs.push_back(program);
        if (journal != nullptr)
            journal->push_back(u"start " + commandLine + u" /" + Number(showStyle));
    }
    std::set<std::u16string> failing;
    std::vector<Started> started;
    std::vector<SystemProgram> programs;  // of each start, in order
    Journal* journal = nullptr;
};

// The log's list and the buttons, journaling on top of the shared window fakes.
class JournalingLogList : public FakeLogList {
public:
    explicit JournalingLogList(Journal& journal) : journal_(journal) {}
    void AddItem(const std::u16string& line) override {
        journal_.push_back(u"log " + line);
        FakeLogList::AddItem(line);
    }

private:
    Journal& journal_;
};

class JournalingStatusBar : public FakeStatusBar {
public:
    explicit JournalingStatusBar(Journal& journal) : journal_(journal) {}
    void SetPanelText(int panel, const std::u16string& text) override {
        journal_.push_back(u"status " + text);
        FakeStatusBar::SetPanelText(panel, text);
    }

private:
    Journal& journal_;
};

class JournalingButton : public FakeButton {
public:
    JournalingButton(Journal& journal, std::u16string name, std::u16string caption, bool enabled)
        : FakeButton(std::move(caption), enabled), journal_(journal), name_(std::move(name)) {}
    void SetEnabled(bool enabled) override {
        journal_.push_back(name_ + (enabled ? u" enabled" : u" disabled"));
        FakeButton::SetEnabled(enabled);
    }
    void SetCaption(const std::u16string& caption) override {
        journal_.push_back(name_ + u" caption " + caption);
        FakeButton::SetCaption(caption);
    }

private:
    Journal& journal_;
    std::u16string name_;
};

class FakeClock : public MillisecondClock {
public:
    uint32_t Now() override {
        ++readings;
        const uint32_t reading = now;
        now += stepPerReading;
        return reading;
    }
    uint32_t now = 0;
    uint32_t stepPerReading = 0;
    int readings = 0;
};

// Waiting advances the fake clock: by the whole time-out, or up to the next event when events
// arrive every eventEveryMs. onDispatch plays the nested handlers; its result is the pump's.
class FakeEventPump : public EventPump {
public:
    explicit FakeEventPump(FakeClock& clock) : clock_(clock) {}
    void WaitForEvents(uint32_t timeoutMs) override {
        timeouts.push_back(timeoutMs);
        clock_.now += (eventEveryMs != 0 && eventEveryMs < timeoutMs) ? eventEveryMs : timeoutMs;
    }
    bool DispatchPending() override {
        ++dispatches;
        return onDispatch ? onDispatch(dispatches) : true;
    }

    uint32_t eventEveryMs = 0;
    std::function<bool(int dispatch)> onDispatch;
    std::vector<uint32_t> timeouts;
    int dispatches = 0;

private:
    FakeClock& clock_;
};

class FakeWindowPresence : public WindowPresence {
public:
    bool IsOpen() const override { return open; }
    bool open = true;
};

// The log, status line and system services of a repair, all writing into one journal.
struct JournalingRepairRig {
    JournalingRepairRig() {
        processes.journal = &journal;
        clipboard.journal = &journal;
        starter.journal = &journal;
    }

    Journal journal;
    JournalingLogList list{journal};
    JournalingStatusBar status{journal};
    FakeTimeOfDay time;
    ActivityLog log{list, status, time};
    FakeProcessTable processes;
    FakeClipboard clipboard;
    FakeProgramStarter starter;
};

}  // namespace varnel::testing

// Fakes of the services the console commands use. The process control records what it did, in
// order, so a test can see that asking came before ending.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/console_output.h"
#include "platform/device_eject.h"
#include "platform/drives.h"
#include "platform/holder_scan.h"
#include "platform/process_control.h"

namespace varnel::testing {

inline std::u16string PidText(uint32_t pid) {
    const std::string digits = std::to_string(pid);
    return std::u16string(digits.begin(), digits.end());
}

// A clock that moves only when slept on.
class FakePacer : public Pacer {
public:
    uint64_t NowMs() override { return now; }
    void SleepMs(uint32_t ms) override {
        now += ms;
        sleeps.push_back(ms);
    }
    uint64_t now = 0;
    std::vector<uint32_t> sleeps;
};

// Running processes: a process asked to close goes away when it is in `polite`; ending one
// always works unless it is in `unkillable`, and one in `lingering` keeps running after it.
class FakeProcessControl : public ProcessControl {
public:
    uint32_t SelfId() override { return self; }
    bool IsCritical(uint32_t pid) override { return critical.count(pid) != 0; }
    int AskToClose(uint32_t pid) override {
        journal.push_back(u"ask " + PidText(pid));
        if (polite.count(pid) != 0) {
            running.erase(pid);
        }
        return windowless.count(pid) != 0 ? 0 : 1;
    }
    bool IsRunning(uint32_t pid) override { return running.count(pid) != 0; }
    bool Terminate(uint32_t pid, const std::u16string&) override {
        journal.push_back(u"end " + PidText(pid));
        if (unkillable.count(pid) != 0) {
            return false;
        }
        if (lingering.count(pid) == 0) {
            running.erase(pid);
        }
        return true;
    }
    bool StartShell() override {
        journal.push_back(u"start shell");
        return true;
    }
    uint32_t self = 1;
    std::set<uint32_t> running, polite, critical, unkillable, windowless, lingering;
    std::vector<std::u16string> journal;
};

// Shows only the processes the control still runs.
class FakeScanner : public HolderScanner {
public:
    explicit FakeScanner(const FakeProcessControl& control) : control_(control) {}
    std::vector<ProcessView> Scan() override {
        std::vector<ProcessView> alive;
        for (const ProcessView& process : processes) {
            if (control_.running.count(process.pid) != 0) {
                alive.push_back(process);
            }
        }
        return alive;
    }
    std::vector<ProcessView> processes;

private:
    const FakeProcessControl& control_;
};

class FakeDrives : public Drives {
public:
    std::vector<DriveInfo> List() override { return list; }
    std::u16string DeviceName(char16_t letter) override {
        const auto found = devices.find(letter);
        return found == devices.end() ? u"" : found->second;
    }
    bool IsFolder(const std::u16string& path) override { return folders.count(path) != 0; }
    std::vector<DriveInfo> list;
    std::map<char16_t, std::u16string> devices;
    std::set<std::u16string> folders;
};

// Answers the eject requests in turn from `answers`, the last one repeating.
class FakeDeviceEject : public DeviceEject {
public:
    std::u16string FindDevice(char16_t) override { return device; }
    EjectAnswer RequestEject(const std::u16string& asked) override {
        requested.push_back(asked);
        return answers[std::min(requested.size(), answers.size()) - 1];
    }
    std::u16string device;
    std::vector<EjectAnswer> answers{{true, 0, u""}};
    std::vector<std::u16string> requested;
};

class FakeOutput : public ConsoleOutput {
public:
    void Out(const std::u16string& text) override { out += text; }
    void Err(const std::u16string& text) override { err += text; }
    std::u16string out, err;
};

// A process holding what the names say, running in the fake control.
inline ProcessView Process(uint32_t pid, std::u16string image, std::vector<std::u16string> files) {
    ProcessView view;
    view.pid = pid;
    view.imageName = std::move(image);
    view.handlesRead = view.memoryRead = true;
    for (std::u16string& name : files) {
        view.files.push_back({0, std::move(name)});
    }
    return view;
}

}  // namespace varnel::testing

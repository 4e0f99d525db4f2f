// One fake system behind every service the console commands use. A process holds the drive
// while it runs; the journal records asking, ending and starting in the order they happened.
#pragma once

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "holders/console_commands.h"
#include "platform/platform_error.h"

namespace varnel::testing {

// A process holding the named objects, with its handles and memory read.
inline ProcessView Process(uint32_t pid, std::u16string image, std::vector<std::u16string> names) {
    ProcessView view{pid, std::move(image), true, true, u"", 0, {}, {}};
    for (std::u16string& name : names) {
        view.files.push_back({0, std::move(name)});
    }
    return view;
}

struct FakeSystem : Drives, HolderScanner, ProcessControl, DeviceEject, Pacer, ConsoleOutput {
    void Hold(uint32_t pid, const std::u16string& program, const std::u16string& name) {
        processes.push_back(Process(pid, program, {name}));
        running.insert(pid);
    }
    int Run(const std::vector<std::u16string>& args) { return holders::RunConsole(args, services); }
    void Note(const std::string& what) { journal += (journal.empty() ? "" : ", ") + what; }

    std::vector<DriveInfo> List() override { return drives; }
    // T: is a volume, S: a SUBST drive for a folder on C:.
    std::u16string DeviceName(char16_t letter) override {
        return letter == u'T'   ? u"\\Device\\HarddiskVolume1"
               : letter == u'S' ? u"\\??\\C:\\work"
                                : u"";
    }
    bool IsFolder(const std::u16string& path) override { return folders.count(path) != 0; }
    // Only the processes still running; a failing scan throws as the system's would.
    std::vector<ProcessView> Scan() override {
        if (scanFails) {
            throw PlatformError(u"NtQuerySystemInformation", u"拒绝访问。");
        }
        std::vector<ProcessView> alive;
        std::copy_if(processes.begin(), processes.end(), std::back_inserter(alive),
                     [&](const ProcessView& p) { return running.count(p.pid) != 0; });
        return alive;
    }
    uint32_t SelfId() override { return 1; }
    bool IsCritical(uint32_t pid) override { return critical.count(pid) != 0; }
    // A polite process closes when asked; a windowless one has no window to ask through.
    int AskToClose(uint32_t pid) override {
        Note("ask " + std::to_string(pid));
        if (polite.count(pid) != 0) {
            running.erase(pid);
        }
        return windowless.count(pid) != 0 ? 0 : 1;
    }
    bool IsRunning(uint32_t pid) override { return running.count(pid) != 0; }
    // An unkillable process cannot be ended; a lingering one keeps running for a while.
    bool Terminate(uint32_t pid, const std::u16string&) override {
        Note("end " + std::to_string(pid));
        if (lingering.count(pid) == 0 && unkillable.count(pid) == 0) {
            running.erase(pid);
        }
        return unkillable.count(pid) == 0;
    }
    bool StartShell() override {
        Note("start shell");
        return true;
    }
    std::u16string FindDevice(char16_t) override { return device; }
    // The answers in turn, the last one repeating.
    EjectAnswer RequestEject(const std::u16string&) override {
        return answers[std::min(++requests, answers.size()) - 1];
    }
    uint64_t NowMs() override { return now; }
    void SleepMs(uint32_t ms) override { now += ms; }
    void Out(const std::u16string& text) override { out += text; }
    void Err(const std::u16string& text) override { err += text; }

    std::vector<DriveInfo> drives;
    std::set<std::u16string> folders;
    std::vector<ProcessView> processes;
    std::set<uint32_t> running, polite, critical, unkillable, windowless, lingering;
    std::u16string device, out, err;
    std::string journal;
    std::vector<EjectAnswer> answers{{true, 0, u""}};
    size_t requests = 0;
    uint64_t now = 0;
    bool scanFails = false;
    holders::ConsoleServices services{*this, *this, *this, *this, *this, *this};
};

}  // namespace varnel::testing

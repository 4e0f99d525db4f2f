// One fake system behind every service the console commands use. A process holds the drive
// until it closes or is ended; the journal records asking, ending and starting in order.
#pragma once

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "holders/console_commands.h"
#include "platform/platform_error.h"

namespace varnel::testing {

// The programs by process id. unplug.exe itself runs as 1; 2 and 8 close when asked, 5 is
// critical, 7 cannot be ended, 10 has no window, 11 runs on after being ended, 12 cannot be
// inspected.
inline const std::u16string kPrograms[] = {
    u"",         u"unplug.exe", u"editor.exe",  u"stubborn.exe", u"CSRSS.EXE",
    u"svc.exe",  u"",           u"guarded.exe", u"Explorer.EXE", u"explorer.exe",
    u"tray.exe", u"slow.exe",   u"hidden.exe"};

// A command line split at its spaces.
inline std::vector<std::u16string> Words(const std::u16string& line) {
    std::vector<std::u16string> words;
    for (size_t start = 0; start < line.size();) {
        const size_t end = std::min(line.find(u' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

struct FakeSystem : Drives, HolderScanner, ProcessControl, DeviceEject, Pacer, ConsoleOutput {
    // Process pid, holding T:\a.txt unless its handles cannot be read.
    void Hold(uint32_t pid) {
        processes.push_back({pid, kPrograms[pid], pid != 12, true, u"", 0, {}, {}});
        if (pid != 12)
            processes.back().files = {{0, u"\\??\\T:\\a.txt"}};
    }
    int Run(const std::vector<std::u16string>& args) { return holders::RunConsole(args, services); }
    void Note(const std::string& what) { journal += (journal.empty() ? "" : ", ") + what; }
    void Stop(uint32_t pid) {
        std::erase_if(processes, [&](const ProcessView& p) { return p.pid == pid; });
    }

    std::vector<DriveInfo> List() override { return drives; }
    // T: is a volume, S: a SUBST drive for a folder on C:.
    std::u16string DeviceName(char16_t letter) override {
        return letter == u'T'   ? u"\\Device\\HarddiskVolume1"
               : letter == u'S' ? u"\\??\\C:\\work"
                                : u"";
    }
    bool IsFolder(const std::u16string& path) override { return folders.count(path) != 0; }
    // A failing scan throws as the system's would.
    std::vector<ProcessView> Scan() override {
        if (scanFails)
            throw PlatformError(u"NtQuerySystemInformation", u"拒绝访问。");
        return processes;
    }
    uint32_t SelfId() override { return 1; }
    bool IsCritical(uint32_t pid) override { return pid == 5; }
    int AskToClose(uint32_t pid) override {
        Note("ask " + std::to_string(pid));
        if (pid == 2 || pid == 8)
            Stop(pid);
        return pid == 10 ? 0 : 1;
    }
    bool IsRunning(uint32_t pid) override {
        return std::any_of(processes.begin(), processes.end(),
                           [&](const ProcessView& p) { return p.pid == pid; });
    }
    bool Terminate(uint32_t pid, const std::u16string&) override {
        Note("end " + std::to_string(pid));
        if (pid != 7 && pid != 11)
            Stop(pid);
        return pid != 7;
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
    std::u16string device, out, err;
    std::string journal;
    std::vector<EjectAnswer> answers{{true, 0, u""}};
    size_t requests = 0;
    uint64_t now = 0;
    bool scanFails = false;
    holders::ConsoleServices services{*this, *this, *this, *this, *this, *this};
};

}  // namespace varnel::testing

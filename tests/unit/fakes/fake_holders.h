// One fake system behind every service the console commands use. A process holds the drive
// until it closes or is ended; the journal records asking and ending in order.
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_repair.h"
#include "holders/console_commands.h"
#include "platform/platform_error.h"
#include "text/ascii_case.h"

namespace varnel::testing {

// The programs by process id. unplug.exe itself runs as 1; 2 and 8 close when asked, 5 is
// critical, 7 may not be ended, 10 has no window, 11 runs on after being ended, 12 cannot be
// inspected; 13 to 16 are there for a family of processes.
inline const std::u16string kPrograms[] = {
    u"",           u"unplug.exe",  u"editor.exe",   u"stubborn.exe", u"CSRSS.EXE", u"svc.exe",
    u"",           u"guarded.exe", u"Explorer.EXE", u"explorer.exe", u"tray.exe",  u"slow.exe",
    u"hidden.exe", u"cmd.exe",     u"cmd.exe",      u"unplug.exe",   u"unplug.exe"};
inline constexpr char16_t kSelfPath[] = u"C:\\tools\\unplug.exe";

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

// The System log's veto records, read at kNow (2026-12-08 06:40:05 UTC), shown at UTC+8; those
// more than 90 minutes older at UTC+7, as if the clocks had changed in between.
struct FakeVetoLog : VetoLog {
    std::vector<VetoEvent> Read() override {
        if (fails)
            throw PlatformError(u"EvtQuery(System)", u"拒绝访问。 (5)");
        return events;
    }
    uint64_t Now() override { return kNow; }
    int UtcOffsetMinutes(uint64_t ticks) override {
        return ticks + 54'000'000'000 < kNow ? 420 : 480;
    }
    static constexpr uint64_t kNow = 134411856050000000;
    std::vector<VetoEvent> events;
    bool fails = false;
};

struct FakeSystem : Drives,
                    HolderScanner,
                    ProcessTable,
                    DeviceEject,
                    ConsoleOutput,
                    Volumes,
                    ConsoleInput,
                    VolumeUserList {
    // Process pid, holding T:\\a.txt unless its handles cannot be read; in the process list as
    // started at created (by default at time pid) by parent, from path.
    void Hold(uint32_t pid, uint32_t parent = 0, uint64_t created = 0, const char16_t* path = u"") {
        created = created ? created : pid;
        processes.push_back({pid, kPrograms[pid], pid != 12, true, u"", 0, {}, {}, created});
        if (pid != 12)
            processes.back().files = {{0, u"\\??\\T:\\a.txt"}};
        if (pid != 1)
            table.push_back({pid, kPrograms[pid], parent, created, path});
    }
    int Run(const std::vector<std::u16string>& args) { return holders::RunConsole(args, services); }
    void Note(const std::string& what) { journal += (journal.empty() ? "" : ", ") + what; }
    void Stop(uint32_t pid) {
        std::erase_if(processes, [&](const ProcessView& p) { return p.pid == pid; });
        std::erase_if(table, [&](const ProcessRecord& p) { return p.id == pid; });
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
    std::vector<ProcessRecord> Snapshot() override { return table; }
    uint32_t CurrentProcessId() const override { return 1; }
    std::u16string ToLower(const std::u16string& text) const override { return AsciiLower(text); }
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
    // Ends the process the record names, unless the id now has another start time.
    bool Terminate(const ProcessRecord& wanted) override {
        Note("end " + std::to_string(wanted.id));
        const auto it = std::find_if(table.begin(), table.end(),
                                     [&](const ProcessRecord& p) { return p.id == wanted.id; });
        if (it == table.end() || it->creationTime != wanted.creationTime)
            return false;
        if (wanted.id == 7)
            throw PlatformError(u"OpenProcess", u"拒绝访问。");
        if (wanted.id != 11)
            Stop(wanted.id);
        return true;
    }
    std::u16string FindDevice(char16_t) override { return device; }
    std::vector<std::u16string> DeviceChain(char16_t) override { return {u"USBSTOR\\1", device}; }
    std::optional<std::vector<uint32_t>> ProcessIds(char16_t) override { return fileSystemIds; }
    // The answers in turn, the last one repeating.
    EjectAnswer RequestEject(const std::u16string&) override {
        return answers[std::min(++requests, answers.size()) - 1];
    }
    void Out(const std::u16string& text) override { out += text; }
    void Err(const std::u16string& text) override { err += text; }
    // Every drive has the same facts; its volume's requests go to the journal, and its lock is
    // refused while any process holds T:.
    VolumeFacts Describe(char16_t) override { return facts; }
    std::unique_ptr<VolumeHandle> Open(char16_t) override {
        struct Handle : VolumeHandle {
            explicit Handle(FakeSystem& s) : s(s) {}
            bool Lock() override { return s.processes.empty(); }
            void Unlock() override { s.Note("unlock"); }
            void Dismount() override { s.Note("dismount"); }
            void AllowRemoval() override {}
            void EjectMedia() override { s.Note("medium"); }
            FakeSystem& s;
        };
        return std::make_unique<Handle>(*this);
    }
    bool AskYesNo(const std::u16string& question) override {
        questions.push_back(question);
        return answerYes;
    }

    std::vector<DriveInfo> drives;
    std::set<std::u16string> folders;
    std::vector<ProcessView> processes;
    std::vector<ProcessRecord> table{{1, u"unplug.exe", 0, 1, kSelfPath}};  // the process list
    std::u16string device, out, err;
    std::string journal;
    std::vector<EjectAnswer> answers{{true, 0, u""}};
    size_t requests = 0;
    FakeClock clock;
    FakeProgramStarter starter;
    bool scanFails = false;
    VolumeFacts facts;
    std::vector<std::u16string> questions;
    bool answerYes = false;
    std::optional<std::vector<uint32_t>> fileSystemIds;

    FakeVetoLog log;
    // Explorer's folder windows; closing one lets go of the folder it shows in every process, as
    // explorer.exe's window does. The window with the id stuck does not close.
    struct Shell : ShellWindows {
        explicit Shell(FakeSystem& system) : system(system) {}
        std::vector<ShellWindow> List() override {
            if (fails)
                throw PlatformError(u"IShellWindows", u"资源管理器在 5 秒内没有回答");
            return windows;
        }
        bool Close(uint64_t id) override {
            system.Note("close " + std::to_string(id));
            return std::erase_if(windows, [&](const ShellWindow& window) {
                       if (window.id != id || id == stuck)
                           return false;
                       for (ProcessView& process : system.processes)
                           std::erase_if(process.files, [&](const OpenObject& object) {
                               return object.name == u"\\??\\" + window.path;
                           });
                       return true;
                   }) != 0;
        }
        FakeSystem& system;
        std::vector<ShellWindow> windows;
        uint64_t stuck = 0;
        bool fails = false;
    } shell{*this};
    holders::ConsoleServices services{*this, *this, *this, starter, *this, clock,
                                      *this, *this, *this, log,     shell, *this};
};

}  // namespace varnel::testing

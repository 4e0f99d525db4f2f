// Windows' own record of who refused a drive's removal (the System log's event 225 of
// Kernel-PnP), read for one drive: which program, when, and whether it still runs.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes.h"
#include "platform/veto_log.h"

namespace varnel::holders {

// One record's values, read by position: process id, name length, image path, device-id length,
// device instance id, then on newer systems command-line length and command line, and last the
// count of affected devices.
struct VetoRecord {
    uint32_t pid = 0;
    std::u16string imagePath;    // as the system names it: \Device\HarddiskVolume3\...\dllhost.exe
    std::u16string device;       // the refused device's instance id: USB\VID_0781&PID_5581\0001
    std::u16string commandLine;  // empty when the system does not record it
    uint64_t affectedDevices = 0;
    uint64_t time = 0;  // 100-ns ticks since 1601, UTC
};

// The record, or nullopt when a value is missing or not of its type.
std::optional<VetoRecord> ReadVetoRecord(const VetoEvent& event);

// A drive letter and the device name behind it, as QueryDosDeviceW answers.
struct DosDevice {
    char16_t letter = u'A';
    std::u16string device;  // \Device\HarddiskVolume3
};

// An image path by drive letter (C:\Windows\System32\dllhost.exe); empty when no letter's device
// holds it or the path names no file.
std::u16string DrivePath(const std::u16string& ntPath, const std::vector<DosDevice>& devices);

struct Veto {
    VetoRecord record;
    std::u16string program;  // the file name of the image: dllhost.exe; empty when malformed
    std::u16string path;     // by drive letter, or as recorded when no letter holds it
    bool stillRunning = false;
};

inline constexpr size_t kMaxVetoesShown = 10;
inline constexpr uint64_t kVetoDays = 7;

// What the vetoes are looked up against.
struct VetoLookup {
    // The drive's device and every device above it, by instance id, as far up as known.
    std::vector<std::u16string> deviceChain;
    std::vector<DosDevice> dosDevices;
    std::vector<ProcessRecord> processes;  // running now
};

// The records about the drive's device or one above it (compared without regard to case) from
// the kVetoDays days before now (100-ns ticks since 1601, UTC), newest first, at most
// kMaxVetoesShown. A program still runs when the process list has its id with the same program
// name: an id alone may have passed on.
std::vector<Veto> DriveVetoes(const std::vector<VetoEvent>& events, const VetoLookup& lookup,
                              uint64_t now);

// "上次 Windows 拒绝弹出 E: 是因为 dllhost.exe(进程 1234,2026-12-08 14:40:05,仍在运行)。" for
// the newest veto, as who and the window show it; empty when there is none.
std::u16string LastVetoLine(char16_t letter, const std::vector<Veto>& vetoes, VetoLog& log);
// The same line read from the log; empty also when the log cannot be read, which who and the
// window do not report (why does).
std::u16string LastVetoLine(char16_t letter, VetoLog& log, const VetoLookup& lookup);

// "2026-12-08 14:40:05" at the given offset from UTC.
std::u16string TimeText(uint64_t ticks, int utcOffsetMinutes);
// The same at the local offset the log gives for that time.
std::u16string LocalTimeText(uint64_t ticks, VetoLog& log);

// The answer of "why X:": the text for a person, the JSON, and the exit code (0 no veto recorded,
// 1 some, 2 the log could not be read, with the reason in the text, for standard error).
struct WhyAnswer {
    int exitCode = 0;
    std::u16string text;
    nlohmann::ordered_json json;
};

WhyAnswer Why(char16_t letter, VetoLog& log, const VetoLookup& lookup);

}  // namespace varnel::holders

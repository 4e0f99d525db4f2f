#include "holders/veto_record.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "holders/drive_match.h"
#include "holders/holder_texts.h"
#include "holders/known_holders.h"
#include "holders/report_text.h"
#include "holders/visible_text.h"
#include "platform/platform_error.h"
#include "text/ascii_case.h"
#include "text/utf8.h"

namespace varnel::holders {
namespace {

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

bool IsUnsigned(const EventValue& value) {
    return value.type == EventValueType::UInt16 || value.type == EventValueType::UInt32 ||
           value.type == EventValueType::UInt64;
}

bool IsText(const EventValue& value) {
    return value.type == EventValueType::String;
}

// The file name at the end of a path; empty when the path ends in a separator or has none.
std::u16string FileName(const std::u16string& path) {
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? std::u16string() : path.substr(slash + 1);
}

bool StillRunning(uint32_t pid, const std::u16string& program,
                  const std::vector<ProcessRecord>& processes) {
    return !program.empty() &&
           std::any_of(processes.begin(), processes.end(), [&](const ProcessRecord& process) {
               return process.id == pid && AsciiLower(process.imageName) == AsciiLower(program);
           });
}

bool ConcernsDrive(const VetoRecord& record, const std::vector<std::u16string>& deviceChain) {
    const std::u16string device = AsciiLower(record.device);
    return std::any_of(deviceChain.begin(), deviceChain.end(),
                       [&](const std::u16string& id) { return AsciiLower(id) == device; });
}

std::string DateTime(uint64_t ticks, int utcOffsetMinutes, const char* format) {
    using namespace std::chrono;
    const sys_seconds time{seconds{static_cast<int64_t>(ticks / kTicksPerSecond) -
                                   kSecondsFrom1601To1970 + int64_t{utcOffsetMinutes} * 60}};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[40];
    std::snprintf(text, sizeof(text), format, static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// Names from the log are shown through VisibleText, as every name from the system is.
std::u16string ProgramText(const Veto& veto) {
    return VisibleText(veto.program.empty() ? veto.path : veto.program);
}

std::u16string WhyLines(char16_t letter, const std::vector<Veto>& vetoes, VetoLog& log) {
    const std::u16string drive = DriveText(letter);
    if (vetoes.empty()) {
        return u"最近 " + Number(kVetoDays) + u" 天 Windows 没有记录拒绝弹出 " + drive +
               u" 的程序。\n";
    }
    std::u16string text = u"最近 " + Number(kVetoDays) + u" 天 Windows 记录的拒绝弹出 " + drive +
                          u" 的程序(最新的在前):\n";
    for (const Veto& veto : vetoes) {
        text += u"  " + LocalTimeText(veto.record.time, log) + u"  " + Number(veto.record.pid) +
                u"  " + ProgramText(veto) + (veto.stillRunning ? u"  仍在运行" : u"");
        if (const KnownHolder* known = FindKnownHolder(veto.program)) {
            text +=
                u" [" + std::u16string(known->label) + u": " + std::u16string(known->advice) + u"]";
        }
        text += u"\n    " + VisibleText(veto.path) + u"\n    设备 " +
                VisibleText(veto.record.device) + u"\n";
        if (!veto.record.commandLine.empty()) {
            text += u"    命令行 " + VisibleText(veto.record.commandLine) + u"\n";
        }
    }
    return text;
}

nlohmann::ordered_json VetoJson(const Veto& veto) {
    nlohmann::ordered_json json = {
        {"time", DateTime(veto.record.time, 0, "%04d-%02u-%02uT%02d:%02d:%02dZ")},
        {"pid", veto.record.pid},
        {"program", ToUtf8(veto.program)},
        {"path", ToUtf8(veto.path)},
        {"device", ToUtf8(veto.record.device)},
        {"command_line", ToUtf8(veto.record.commandLine)},
        {"affected_devices", veto.record.affectedDevices},
        {"still_running", veto.stillRunning}};
    if (const KnownHolder* known = FindKnownHolder(veto.program)) {
        json["label"] = ToUtf8(std::u16string(known->label));
        json["advice"] = ToUtf8(std::u16string(known->advice));
    }
    return json;
}

}  // namespace

std::optional<VetoRecord> ReadVetoRecord(const VetoEvent& event) {
    const std::vector<EventValue>& v = event.values;
    if (v.size() < 5 || v[0].type != EventValueType::UInt32 || !IsUnsigned(v[1]) || !IsText(v[2]) ||
        !IsUnsigned(v[3]) || !IsText(v[4])) {
        return std::nullopt;
    }
    VetoRecord record{static_cast<uint32_t>(v[0].number), v[2].text, v[4].text, {}, 0, event.time};
    // Older systems end after the device (or with the count alone); newer ones add the command
    // line, which is an empty value when the program had none.
    if (v.size() >= 7) {
        if (!IsUnsigned(v[5]) || (!IsText(v[6]) && v[6].type != EventValueType::Null)) {
            return std::nullopt;
        }
        record.commandLine = v[6].text;
    }
    if (v.size() == 6 || v.size() >= 8) {
        const EventValue& count = v[v.size() == 6 ? 5 : 7];
        if (!IsUnsigned(count)) {
            return std::nullopt;
        }
        record.affectedDevices = count.number;
    }
    return record;
}

std::u16string DrivePath(const std::u16string& ntPath, const std::vector<DosDevice>& devices) {
    for (const DosDevice& device : devices) {
        const NameMatch match = MatchName(ntPath, {device.letter, device.device});
        if (match.placement == Placement::OnDrive && !FileName(match.path).empty()) {
            return match.path;
        }
    }
    return {};
}

std::vector<Veto> DriveVetoes(const std::vector<VetoEvent>& events, const VetoLookup& lookup,
                              uint64_t now) {
    const uint64_t window = kVetoDays * 86400 * kTicksPerSecond;
    const uint64_t since = now > window ? now - window : 0;
    std::vector<Veto> vetoes;
    for (const VetoEvent& event : events) {
        const std::optional<VetoRecord> record = ReadVetoRecord(event);
        if (!record || record->time < since || record->time == 0 ||
            !ConcernsDrive(*record, lookup.deviceChain)) {
            continue;
        }
        Veto veto{*record, FileName(record->imagePath),
                  DrivePath(record->imagePath, lookup.dosDevices), false};
        if (veto.path.empty()) {
            veto.path = record->imagePath;
        }
        veto.stillRunning = StillRunning(record->pid, veto.program, lookup.processes);
        vetoes.push_back(std::move(veto));
    }
    std::stable_sort(vetoes.begin(), vetoes.end(),
                     [](const Veto& a, const Veto& b) { return a.record.time > b.record.time; });
    if (vetoes.size() > kMaxVetoesShown) {
        vetoes.resize(kMaxVetoesShown);
    }
    return vetoes;
}

std::u16string TimeText(uint64_t ticks, int utcOffsetMinutes) {
    return Ascii(DateTime(ticks, utcOffsetMinutes, "%04d-%02u-%02u %02d:%02d:%02d"));
}

std::u16string LocalTimeText(uint64_t ticks, VetoLog& log) {
    return TimeText(ticks, log.UtcOffsetMinutes(ticks));
}

std::u16string LastVetoLine(char16_t letter, const std::vector<Veto>& vetoes, VetoLog& log) {
    if (vetoes.empty()) {
        return {};
    }
    const Veto& last = vetoes.front();
    return u"上次 Windows 拒绝弹出 " + DriveText(letter) + u" 是因为 " + ProgramText(last) +
           u"(进程 " + Number(last.record.pid) + u"," + LocalTimeText(last.record.time, log) +
           (last.stillRunning ? u",仍在运行" : u"") + u")。";
}

std::u16string LastVetoLine(char16_t letter, VetoLog& log, const VetoLookup& lookup) {
    try {
        return LastVetoLine(letter, DriveVetoes(log.Read(), lookup, log.Now()), log);
    } catch (const PlatformError&) {
        return {};
    }
}

WhyAnswer Why(char16_t letter, VetoLog& log, const VetoLookup& lookup) {
    const std::string drive = ToUtf8(DriveText(letter));
    std::vector<VetoEvent> events;
    try {
        events = log.Read();
    } catch (const PlatformError& error) {
        const std::u16string reason =
            u"无法读取 Windows 的系统日志(" + error.Operation() + u"):" + error.Detail();
        return {
            2,
            reason + u"\n",
            {{"command", "why"}, {"drive", drive}, {"error", ToUtf8(reason)}, {"exit_code", 2}}};
    }
    const std::vector<Veto> vetoes = DriveVetoes(events, lookup, log.Now());
    const int exitCode = vetoes.empty() ? 0 : 1;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Veto& veto : vetoes) {
        list.push_back(VetoJson(veto));
    }
    return {exitCode,
            WhyLines(letter, vetoes, log),
            {{"command", "why"}, {"drive", drive}, {"vetoes", list}, {"exit_code", exitCode}}};
}

}  // namespace varnel::holders

#include <gtest/gtest.h>

#include "fakes/fake_holders.h"
#include "holders/explorer_windows.h"
#include "holders/holder_texts.h"
#include "holders/known_holders.h"
#include "holders/report_json.h"
#include "holders/veto_record.h"
#include "holders/volume_users.h"
#include "text/utf8.h"

namespace varnel::holders {
namespace {

using T = EventValueType;
constexpr uint64_t kNow = testing::FakeVetoLog::kNow;  // 2026-12-08 06:40:05 UTC
constexpr uint64_t kHour = 36'000'000'000;
const std::u16string kDisk = u"USBSTOR\\Disk&Ven_Sand&Prod_Cruzer\\4C53&0";
const std::u16string kUsb = u"USB\\VID_0781&PID_5581\\4C53";
const std::u16string kHost = u"\\Device\\HarddiskVolume3\\Windows\\System32\\dllhost.exe";

EventValue N(uint64_t number, T type = T::UInt32) {
    return {type, number, {}};
}
EventValue S(std::u16string text) {
    return {T::String, 0, std::move(text)};
}
// A record of a newer system: every value, with an empty command line.
VetoEvent Event(uint32_t pid, const std::u16string& device, uint64_t time = kNow - kHour,
                const std::u16string& image = kHost) {
    return {{N(pid), N(image.size()), S(image), N(device.size()), S(device), N(0), {}, N(1)}, time};
}

VetoLookup Lookup() {
    return {{kDisk, kUsb},
            {{u'C', u"\\Device\\HarddiskVolume3"}, {u'E', u"\\Device\\HarddiskVolume30"}},
            {{1234, u"DllHost.exe"}, {77, u"other.exe"}}};
}

// "pid program path [running]" for each veto the lookup keeps, in its order.
std::string Kept(const std::vector<VetoEvent>& events) {
    std::string kept;
    for (const Veto& veto : DriveVetoes(events, Lookup(), kNow))
        kept += (kept.empty() ? "" : "; ") + std::to_string(veto.record.pid) + " " +
                ToUtf8(veto.program) + " " + ToUtf8(veto.path) +
                (veto.stillRunning ? " running" : "");
    return kept;
}

TEST(VetoRecords, ReadByPositionAndTypeMatchedAgainstTheDevicesAboveTheDrive) {
    const std::u16string kOnE = u"\\Device\\HarddiskVolume30\\tools\\sync.exe";
    VetoEvent pidAsUInt16 = Event(1234, kUsb), pathAsNumber = Event(1234, kUsb),
              lineAsNumber = Event(1234, kUsb), older = Event(1234, kUsb),
              withLine = Event(1234, kUsb), countOnly = Event(1234, kUsb),
              countAsText = Event(1234, kUsb);
    pidAsUInt16.values[0].type = T::UInt16;
    pathAsNumber.values[2] = N(5);
    lineAsNumber.values[6] = N(5);
    older.values.resize(5);
    withLine.values[6] = S(u"dllhost.exe /Processid:{AB8902B4}");
    countOnly.values.resize(6);
    countOnly.values[5] = N(3);
    countAsText.values[7] = S(u"1");
    const std::pair<std::vector<VetoEvent>, std::string> rows[] = {
        {{Event(1234, kUsb)}, "1234 dllhost.exe C:\\Windows\\System32\\dllhost.exe running"},
        {{Event(1234, u"usb\\vid_0781&pid_5581\\4c53")},
         "1234 dllhost.exe C:\\Windows\\System32\\dllhost.exe running"},
        {{Event(77, kDisk)}, "77 dllhost.exe C:\\Windows\\System32\\dllhost.exe"},
        {{Event(55, u"USB\\VID_0781&PID_5581\\9999")}, ""},
        {{Event(8, kUsb, kNow, kOnE)}, "8 sync.exe E:\\tools\\sync.exe"},
        {{Event(8, kUsb, kNow, u"\\Device\\HarddiskVolume4\\a.exe")},
         "8 a.exe \\Device\\HarddiskVolume4\\a.exe"},
        {{Event(8, kUsb, kNow, u"\\Device\\HarddiskVolume3\\")}, "8  \\Device\\HarddiskVolume3\\"},
        {{pidAsUInt16, pathAsNumber, lineAsNumber, countAsText, Event(1, kUsb, 0)}, ""},
        {{older, withLine, countOnly},
         "1234 dllhost.exe C:\\Windows\\System32\\dllhost.exe running; "
         "1234 dllhost.exe C:\\Windows\\System32\\dllhost.exe running; "
         "1234 dllhost.exe C:\\Windows\\System32\\dllhost.exe running"},
    };
    for (const auto& [events, expected] : rows)
        EXPECT_EQ(Kept(events), expected) << expected;
    EXPECT_EQ(ReadVetoRecord(withLine)->commandLine, u"dllhost.exe /Processid:{AB8902B4}");
    EXPECT_EQ(ReadVetoRecord(countOnly)->affectedDevices, 3u);
}

TEST(VetoRecords, KeepsTheNewestTenOfTheLastSevenDays) {
    std::vector<VetoEvent> events = {Event(700, kUsb, kNow - 7 * 24 * kHour - 1),
                                     Event(699, kUsb, kNow - 7 * 24 * kHour)};
    for (uint32_t i = 0; i < 11; ++i)  // written oldest first: the order is the times'
        events.push_back(Event(100 + i, kUsb, kNow - (20 - i) * kHour));
    std::string pids;
    for (const Veto& veto : DriveVetoes(events, Lookup(), kNow))
        pids += std::to_string(veto.record.pid) + " ";
    EXPECT_EQ(pids, "110 109 108 107 106 105 104 103 102 101 ");
}

TEST(VetoRecords, TheLineForWhoAndTheAnswerOfWhy) {
    testing::FakeVetoLog log;
    log.events = {Event(77, kUsb, kNow - 2 * kHour), Event(1234, kUsb, kNow - kHour)};
    const WhyAnswer some = Why(u'E', log, Lookup());
    EXPECT_EQ(
        LastVetoLine(u'E', log, Lookup()),
        u"上次 Windows 拒绝弹出 E: 是因为 dllhost.exe(进程 1234,2026-12-08 13:40:05,仍在运行)。");
    EXPECT_EQ(some.exitCode, 1);
    EXPECT_EQ(some.json["vetoes"][0]["time"], "2026-12-08T05:40:05Z");
    EXPECT_EQ(some.json["vetoes"][1]["label"], "缩略图和预览宿主");
    EXPECT_NE(some.text.find(u"  2026-12-08 11:40:05  77  dllhost.exe [缩略图和预览宿主"),
              std::u16string::npos);
    EXPECT_EQ(TimeText(125647199990000000, 0), u"1999-02-28 23:59:59");

    log.events.clear();
    const WhyAnswer none = Why(u'E', log, Lookup());
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.text, u"最近 7 天 Windows 没有记录拒绝弹出 E: 的程序。\n");
    EXPECT_EQ(LastVetoLine(u'E', log, Lookup()), u"");
    log.events = {Event(1234, kUsb)};
    log.fails = true;
    EXPECT_EQ(LastVetoLine(u'E', log, Lookup()), u"");
    const WhyAnswer failed = Why(u'E', log, Lookup());
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_EQ(failed.text, u"无法读取 Windows 的系统日志(EvtQuery(System)):拒绝访问。 (5)\n");
    EXPECT_EQ(failed.json["exit_code"], 2);
}

TEST(VolumeUsers, TheFileSystemListAddsWhatTheScanCouldNotSeeUnlessItOverstates) {
    // 10 holds the drive, 11 was inspected and holds nothing, 12 could not be inspected.
    const std::vector<ProcessView> scanned = {{10, u"editor.exe", true, true, u"", 0, {}, {}},
                                              {11, u"idle.exe", true, true, u"", 0, {}, {}},
                                              {12, u"guarded.exe", false, true, u"", 0, {}, {}}};
    const HolderReport report{{{10, u"editor.exe", {{HoldKind::File, u"E:\\a.txt"}}}}, 1};
    const std::vector<ProcessRecord> running = {
        {10, u"editor.exe"}, {11, u"idle.exe"}, {12, u"guarded.exe"}, {13, u"late.exe"}};
    const std::pair<std::optional<std::vector<uint32_t>>, std::string> rows[] = {
        {std::nullopt, "none:"},
        {std::vector<uint32_t>{}, "used:"},
        {std::vector<uint32_t>{10, 12, 99, 13, 12},
         "used: 12 guarded.exe unknown E: 13 late.exe unknown E:"},
        {std::vector<uint32_t>{12, 11}, "ignored:"}};
    for (const auto& [ids, expected] : rows) {
        const VolumeUsers users = MergeVolumeUsers(ids, scanned, report, running, u'E');
        std::string got = std::string(FileSystemListName(users.list)) + ":";
        for (const Holder& holder : users.unknown)
            got += " " + std::to_string(holder.pid) + " " + ToUtf8(holder.program) + " " +
                   KindName(holder.holds.at(0).kind) + " " + ToUtf8(holder.holds[0].path);
        EXPECT_EQ(got, expected);
    }
}

TEST(KnownHolders, NamedByProgramWithAdviceUnlessTheProgramRunsFromTheDrive) {
    const Hold file{HoldKind::File, u"E:\\a.jpg"};
    const std::pair<Holder, std::u16string> rows[] = {
        {{1, u"MsMpEng.EXE", {file}}, u"病毒扫描"},
        {{1, u"searchprotocolhost.exe", {file}}, u"Windows 搜索索引"},
        {{1, u"System", {{HoldKind::Volume, u"E:"}}}, u"文件系统元数据"},
        {{1, u"notepad.exe", {file}}, u""},
        {{1, u"msmpeng.exe.bak", {file}}, u""},
        {{1, u"dllhost.exe", {{HoldKind::Program, u"E:\\dllhost.exe"}}}, u""}};
    for (const auto& [holder, label] : rows) {
        const KnownHolder* known = KnownHolderOf(holder);
        EXPECT_EQ(known ? std::u16string(known->label) : u"", label) << ToUtf8(holder.program);
        Json json = Json::object();
        AddKnownHolderJson(json, holder);
        EXPECT_EQ(json.contains("advice"), known != nullptr);
    }
    EXPECT_EQ(KnownHolderText({1, u"Taskmgr.exe", {file}}), u" [任务管理器: 关闭任务管理器后再试]");
}

TEST(ExplorerWindows, OnTheDriveByTheDrivePartOfTheirPath) {
    const std::vector<ShellWindow> windows = {
        {1, u"E:\\sub"},        {2, u"e:\\"}, {3, u"E:"}, {4, u"EX:\\a"},       {5, u"F:\\E:\\x"},
        {6, u"\\\\server\\E:"}, {7, u""},     {8, u"E"},  {9, u"C:\\Users\\E:"}};
    const std::vector<ShellWindow> onE = WindowsOnDrive(windows, u'E');
    ASSERT_EQ(onE.size(), 3u);
    EXPECT_EQ(onE[2].id, 3u);
    EXPECT_EQ(ExplorerWindowLines({onE[0]}), u"  资源管理器窗口  E:\\sub\n");
    EXPECT_EQ(ExplorerWindowsJson({onE[0]}).dump(),
              R"([{"kind":"explorer_window","path":"E:\\sub","id":1}])");
}

}  // namespace
}  // namespace varnel::holders

#include <gtest/gtest.h>

#include "fakes/fake_holders.h"
#include "holders/report_json.h"
#include "text/utf8.h"

namespace varnel::holders {
namespace {

using testing::FakeSystem;
using testing::Words;

constexpr uint64_t kWindow = 65536;

// A veto by process 30 running T:\tools\sync.exe (on the fake's HarddiskVolume1), an hour ago.
VetoEvent Veto(const std::u16string& device) {
    const std::u16string image = u"\\Device\\HarddiskVolume1\\tools\\sync.exe";
    const auto n = [](uint64_t value) { return EventValue{EventValueType::UInt32, value, {}}; };
    const auto s = [](std::u16string text) { return EventValue{EventValueType::String, 0, text}; };
    return {{n(30), n(image.size()), s(image), n(device.size()), s(device), n(0), {}, n(1)},
            testing::FakeVetoLog::kNow - 36'000'000'000};
}

// The device is matched against the drive's chain (without regard to case) and the path by the
// letters' device names; only a log that cannot be read answers on standard error, and only
// without --json.
TEST(WhyConsole, VetoesOfTheDrivesDevicesFromTheSystemLog) {
    const std::tuple<const char16_t*, std::u16string, bool, int, std::string> rows[] = {
        {u"why T:", u"usbstor\\1", false, 1, "  2026-12-08 13:40:05  30  sync.exe\n    T:\\tools"},
        {u"why T: --json", u"USBSTOR\\1", false, 1, R"("path": "T:\\tools\\sync.exe")"},
        {u"why T:", u"USB\\other", false, 0, "最近 7 天 Windows 没有记录拒绝弹出 T: 的程序。\n"},
        {u"why T:", u"", true, 2, "无法读取 Windows 的系统日志(EvtQuery(System)):拒绝访问。"},
        {u"why T: --json", u"", true, 2, R"("error": "无法读取 Windows 的系统日志()"},
        {u"why T: --kill", u"", false, 2, "参数错误: 该命令不接受选项“--kill”。\n"}};
    for (const auto& [line, device, fails, exitCode, says] : rows) {
        FakeSystem system;
        system.log.events = {Veto(device)};
        system.log.fails = fails;
        EXPECT_EQ(system.Run(Words(line)), exitCode) << says;
        const bool toErr =
            exitCode == 2 && std::u16string(line).find(u"--json") == std::string::npos;
        EXPECT_EQ(toErr ? system.out : system.err, u"");
        EXPECT_NE(ToUtf8(toErr ? system.err : system.out).find(says), std::string::npos) << says;
    }
}

// 3 holds T:\a.txt, 20 (a virus scanner) too, 12 could not be inspected, Explorer shows T:\sub
// and the log has a veto of the drive's disk by 30, which still runs.
void Held(FakeSystem& system) {
    system.Hold(3);
    system.Hold(12);
    system.processes.push_back({20, u"MsMpEng.exe", true, true, u"", 0, {{0, u"T:\\a.txt"}}, {}});
    system.table.push_back({20, u"MsMpEng.exe"});
    system.table.push_back({30, u"sync.exe"});
    system.shell.windows = {{kWindow, u"T:\\sub"}, {7, u"C:\\Users"}};
    system.log.events = {Veto(u"USBSTOR\\1")};
}

TEST(WhyConsole, WhoShowsTheLastVetoKnownHoldersExplorerWindowsAndUnknownUsers) {
    FakeSystem system;
    Held(system);
    system.fileSystemIds = std::vector<uint32_t>{3, 12};
    EXPECT_EQ(system.Run({u"who", u"T:"}), 1);
    EXPECT_EQ(ToUtf8(system.out),
              "上次 Windows 拒绝弹出 T: 是因为 sync.exe(进程 30,2026-12-08 13:40:05,仍在运行)。\n"
              "占用 T: 的进程:\n  3  stubborn.exe  打开的文件 T:\\a.txt\n"
              "  20  MsMpEng.exe  打开的文件 T:\\a.txt [病毒扫描: "
              "杀毒软件在扫描驱动器上的文件;等扫描结束后再试]\n"
              "  12  hidden.exe  用途未知 T:\n  资源管理器窗口  T:\\sub\n"
              "有 1 个进程无法检查(其他用户的或受保护的进程);以管理员身份运行可查看它们。\n");
    system.out.clear();
    system.Run({u"who", u"T:", u"--json"});
    const Json json = Json::parse(ToUtf8(system.out));
    EXPECT_EQ(json["holders"][1]["label"], "病毒扫描");
    EXPECT_EQ(json["holders"][2]["holds"][0]["kind"], "unknown");
    EXPECT_EQ(json["explorer_windows"][0]["id"], kWindow);
    EXPECT_EQ(json["file_system_list"], "used");
}

// A window alone holds the drive, and so does a process only the file system names, unless its
// list also names one the scan saw holding nothing (4). A shell that cannot be asked is no error.
TEST(WhyConsole, WhoIsHeldByAWindowOrAnUnknownUserAlone) {
    const std::tuple<const char16_t*, std::optional<std::vector<uint32_t>>, bool, int> rows[] = {
        {u"T:\\sub", std::nullopt, false, 1},
        {u"C:\\", std::vector<uint32_t>{12}, false, 1},
        {u"C:\\", std::vector<uint32_t>{12, 4}, false, 3},
        {u"T:\\sub", std::nullopt, true, 3}};
    for (const auto& [window, ids, shellFails, exitCode] : rows) {
        FakeSystem system;
        system.Hold(12);
        system.Hold(4);
        system.processes.back().files.clear();
        system.fileSystemIds = ids;
        system.shell.windows = {{kWindow, window}};
        system.shell.fails = shellFails;
        EXPECT_EQ(system.Run({u"who", u"T:", u"--json"}), exitCode) << ToUtf8(system.out);
    }
}

// The window is closed through the shell before any process is asked, and explorer.exe (9), which
// held the folder only for it, is neither asked nor ended; a process only the file system names is
// left as it is; a window that does not close holds the drive.
TEST(WhyConsole, FreeClosesExplorerWindowsFirstAndLeavesUnknownUsers) {
    FakeSystem system;
    Held(system);
    system.Hold(9);
    system.processes.back().files = {{0, u"\\??\\T:\\sub"}};
    system.fileSystemIds = std::vector<uint32_t>{12};
    EXPECT_EQ(system.Run(Words(u"free T: --kill --json")), 1);
    EXPECT_EQ(system.journal, "close 65536, ask 3, ask 20, end 3, end 20");
    const Json json = Json::parse(ToUtf8(system.out));
    EXPECT_EQ(json["explorer_windows_closed"][0]["id"], kWindow);
    EXPECT_EQ(json["left"][0]["reason"], "unknown_use");
    EXPECT_EQ(json["left"].size(), 1u);

    FakeSystem stuck;
    stuck.shell.windows = {{kWindow, u"T:\\sub"}};
    stuck.shell.stuck = kWindow;
    EXPECT_EQ(stuck.Run(Words(u"free T:")), 1);
    EXPECT_EQ(ToUtf8(stuck.out), "仍占用 T: 的进程:\n  资源管理器窗口  T:\\sub\n");
}

}  // namespace
}  // namespace varnel::holders

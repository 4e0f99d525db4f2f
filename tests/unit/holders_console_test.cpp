#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "fakes/fake_holders.h"
#include "holders/holder_texts.h"
#include "holders/report_json.h"
#include "holders/report_text.h"
#include "text/utf8.h"

namespace varnel::holders {
namespace {

using testing::Words;

const std::vector<DriveInfo> kDrives = {{u'E', DriveKind::Removable, u"U盘", u"FAT32", 1536},
                                        {u'F', DriveKind::External, u"", u"", 0},
                                        {u'G', DriveKind::CdRom, u"", u"", 0}};
const std::string kNotInspected =
    "个进程无法检查(其他用户的或受保护的进程);以管理员身份运行可查看它们。\n";

TEST(HoldersReports, TextForAPerson) {
    const uint64_t kGB = uint64_t{1} << 30;
    const std::pair<std::u16string, std::u16string> rows[] = {
        {SizeText(1023), u"1023 B"},
        {SizeText(1024), u"1.0 KB"},
        {SizeText(10188), u"9.9 KB"},
        {SizeText(10240), u"10 KB"},
        {SizeText(kGB * 3 / 2), u"1.5 GB"},
        {SizeText(kGB << 31), u"2048 PB"},
        {VetoCause(-1), u"未知原因(类型 -1)"},
        {VetoCause(0), u"原因不明"},
        {VetoCause(12), u"权限不足,请以管理员身份运行"},
        {VetoCause(13), u"未知原因(类型 13)"},
        {ListText(kDrives),
         u"E:  可移动  U盘  FAT32  1.5 KB\nF:  外接  (无卷标)  (无介质)\n"
         u"G:  光驱  (无卷标)  (无介质)\n"}};
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(text, expected) << ToUtf8(text);
}

ProcessView Process(uint32_t pid, std::u16string image, std::u16string currentDirectory,
                    std::vector<std::u16string> names) {
    ProcessView view{pid, std::move(image), true, true, std::move(currentDirectory), 0, {}, {}};
    for (std::u16string& name : names)
        view.files.push_back({0, std::move(name)});
    return view;
}

// Each kind of hold once, by its path on T:, whatever form of name the system gave it.
TEST(HoldersConsole, WhoNamesEachHoldOnce) {
    testing::FakeSystem system;
    ProcessView editor = Process(10, u"editor.exe", u"T:\\work\\",
                                 {u"\\??\\t:\\doc.txt", u"\\??\\T:\\doc.txt", u"\\\\?\\T:\\b.txt",
                                  u"\\\\.\\T:", u"\\DEVICE\\harddiskvolume1\\"});
    editor.files.push_back({0x44, u"\\??\\T:\\work"});  // the handle of its current directory
    editor.currentDirectoryHandle = 0x44;
    editor.mappings = {{MappingKind::Program, u"\\Device\\HarddiskVolume1\\editor.exe"},
                       {MappingKind::Dll, u"\\Device\\HarddiskVolume1\\x.dll"},
                       {MappingKind::Data, u"\\Device\\HarddiskVolume1\\big.bin"},
                       {MappingKind::Dll, u"\\Device\\HarddiskVolume10\\y.dll"}};
    system.processes = {editor,
                        Process(11, u"", u"T:\\", {u"T:\\c.txt", u"\\Device\\HarddiskVolume1"}),
                        {12, u"guarded.exe", true, false, u"", 0, {}, {}},
                        // Names elsewhere, some that begin like T:'s.
                        Process(13, u"other.exe", u"",
                                {u"C:\\a.txt", u"\\??\\TX:\\a", u"\\Device\\HarddiskVolume10",
                                 u"\\Device\\NamedPipe\\x", u""})};
    system.folders = {u"T:\\"};

    EXPECT_EQ(system.Run({u"who", u"T:"}), 1);
    EXPECT_EQ(ToUtf8(system.out),
              "占用 T: 的进程:\n  10  editor.exe  当前目录 T:\\work; 打开的文件 T:\\doc.txt; "
              "打开的文件 T:\\b.txt; 卷句柄 T:; 打开的文件夹 T:\\; 程序 T:\\editor.exe; DLL "
              "T:\\x.dll; 映射的文件 T:\\big.bin\n  11  (未知程序)  当前目录 T:\\; 打开的文件 "
              "T:\\c.txt; 卷句柄 T:\n有 1 " +
                  kNotInspected);
    system.out.clear();
    EXPECT_EQ(system.Run({u"who", u"T:", u"--json"}), 1);
    const Json json = Json::parse(ToUtf8(system.out));
    std::string kinds;
    for (const Json& hold : json["holders"][0]["holds"])
        kinds += hold["kind"].get<std::string>() + " ";
    EXPECT_EQ(kinds, "current_directory file file volume folder program dll mapped_file ");
}

// What each row's system has besides its processes (testing::kPrograms): a failing scan, an
// ejectable device that vetoes always or once, drives to list.
constexpr int kFails = 1, kDevice = 2, kVeto = 4, kVetoOnce = 12, kListed = 16;

// Exit codes are the documented numbers; errors go to stderr unless JSON was asked for. Asking
// comes before ending; only a process asked through a window is waited for, for the whole limit
// at most; an ended one gets two seconds to go; some are never ended.
TEST(HoldersConsole, CommandsExitCodesAndStreams) {
    struct Row {
        std::u16string line;
        std::string processes;  // their ids
        int world, exitCode;
        uint64_t waitedMs;
        std::string says;  // part of the text shown, or the JSON's fields
        std::string journal = "";
    };
    const std::string kHolderJson =
        R"({"pid": 3, "program": "stubborn.exe", "holds": [{"kind": "file", "path": "T:\\a.txt"}]})";
    const Row rows[] = {
        {u"list", "", 0, 0, 0, "没有可移动驱动器或外接驱动器。\n"},
        {u"list --json", "", kListed, 0, 0,
         R"({"command": "list", "drives": [
            {"drive": "E:", "kind": "removable", "label": "U盘", "file_system": "FAT32", "size": 1536},
            {"drive": "F:", "kind": "external", "label": "", "file_system": "", "size": 0},
            {"drive": "G:", "kind": "cdrom", "label": "", "file_system": "", "size": 0}]})"},
        {u"who T:", "", 0, 0, 0, "没有进程占用 T:。\n"},
        {u"who T: --json", "3", 0, 1, 0,
         R"({"command": "who", "drive": "T:", "holders": [)" + kHolderJson +
             R"(], "uninspected": 0})"},
        {u"who T:", "12", 0, 3, 0,
         "在能检查的进程中没有发现占用 T: 的进程。\n有 1 " + kNotInspected},
        {u"free T: --wait 3", "2 3 9", 0, 1, 3000,
         "已关闭:\n2\n仍占用 T: 的进程:\n3 (未关闭)\n9 (未关闭)\n", "ask 2, ask 3, ask 9"},
        {u"free T: --kill --wait 0", "1 2 3 4 5 6 7", 0, 1, 0,
         "已关闭:\n2\n已结束:\n3\n仍占用 T: 的进程:\n1 (本程序自身,不结束)\n4 "
         "(系统关键进程,不结束)\n"
         "5 (系统关键进程,不结束)\n6 (无法识别的进程,不结束)\n7 (未关闭)\n",
         "ask 2, ask 3, ask 7, end 3, end 7"},
        {u"free T: --wait 1", "8", 0, 0, 0,
         "已关闭:\n8\n已重新启动 explorer.exe。\nT: 已无进程占用。\n", "ask 8"},
        {u"free T: --kill --wait 0", "9", 0, 0, 0, "已结束:\n9\n已重新启动 explorer.exe。\n",
         "ask 9, end 9"},
        {u"free T: --kill --wait 30", "10 12", 0, 3, 0,
         "已结束:\n10\n在能检查的进程中已没有占用 T: 的进程。\n有 1 " + kNotInspected,
         "ask 10, end 10"},
        {u"free T: --kill --wait 0", "11", 0, 1, 2000,
         "已结束:\n11\n仍占用 T: 的进程:\n11 (未关闭)\n", "ask 11, end 11"},
        {u"who S:", "", 0, 2, 0, "S: 是 SUBST 映射的驱动器(对应 \\??\\C:\\work),没有自己的设备名"},
        {u"who T:", "", kFails, 2, 0, "操作失败：NtQuerySystemInformation / 拒绝访问。\n"},
        {u"eject T:", "3", 0, 2, 0, "找不到 T: 所在的设备,无法弹出。\n"},
        {u"eject --all", "3", 0, 0, 0, "没有可移动驱动器或外接驱动器。\n"},
        {u"eject T: --wait 2", "3", kDevice | kVeto, 1, 2000,
         "秒...\n占用 T: 的进程:\n3\n弹出 T: 被拒绝(已尝试 5 次)"},
        {u"eject T: --json", "3", 0, 2, 0, R"({"result": "device_not_found"})"},
        {u"eject T:", "3", kDevice, 0, 0, "已弹出 T: (USB\\1),可以拔下设备了。\n"},
        {u"eject T:", "3", kDevice | kVetoOnce, 0, 500, "已弹出 T: (USB\\1)"},
        {u"eject T:", "3", kDevice | kVeto, 1, 1000,
         "弹出 T: 被拒绝(已尝试 3 次): 有程序正在使用该设备; 拒绝者: "
         "\\Device\\HarddiskVolume1\n占用 T: 的进程:\n3\n"},
        {u"eject T: --kill", "3", kDevice, 0, 5000,
         "已结束:\n3\nT: 已无进程占用。\n已弹出 T: (USB\\1)", "ask 3, end 3"},
        {u"eject T: --free --json", "3", kDevice | kVeto, 1, 6000,
         R"({"command": "eject", "drive": "T:", "device": "USB\\1", "result": "vetoed",
            "tries": 3, "veto": {"type": 3, "cause": "有程序正在使用该设备", "by":
            "\\Device\\HarddiskVolume1"}, "holders": [)" +
             kHolderJson + R"(], "uninspected": 0,
            "free": {"command": "free", "drive": "T:", "closed": [], "ended": [], "left": [)" +
             kHolderJson.substr(0, kHolderJson.size() - 1) + R"(, "reason": "still_running"}],
            "shell_ended": false, "shell_restarted": false, "uninspected": 0}})",
         "ask 3"}};
    for (const Row& row : rows) {
        testing::FakeSystem system;
        std::istringstream ids(row.processes);
        for (uint32_t pid = 0; ids >> pid;)
            system.Hold(pid);
        system.drives = row.world & kListed ? kDrives : std::vector<DriveInfo>{};
        system.scanFails = row.world & kFails;
        system.device = row.world & kDevice ? u"USB\\1" : u"";
        if (row.world & kVeto) {
            const bool once = (row.world & kVetoOnce) == kVetoOnce;
            system.answers = {{false, 3, u"\\Device\\HarddiskVolume1"},
                              {once, 3, u"\\Device\\HarddiskVolume1"}};
        }
        SCOPED_TRACE(ToUtf8(row.line));
        EXPECT_EQ(system.Run(Words(row.line)), row.exitCode);
        EXPECT_EQ(system.clock.now, row.waitedMs);
        EXPECT_EQ(system.journal, row.journal);
        const bool json = row.line.find(u"--json") != std::u16string::npos;
        const bool toErr = row.exitCode == 2 && !json;
        EXPECT_EQ((toErr ? system.out : system.err), u"");
        const std::string shown = ToUtf8(toErr ? system.err : system.out);
        if (json) {
            Json shownJson = Json::parse(shown);
            const Json expected = Json::parse(row.says);
            EXPECT_EQ(shownJson["exit_code"], row.exitCode);
            for (const auto& [key, value] : expected.items())
                EXPECT_EQ(shownJson[key], value) << key;
        } else {
            // Each line of a process holding T:\a.txt shortened to its id.
            const std::regex line("  (\\d+)  [^ ]+  打开的文件 T:\\\\a\\.txt");
            const std::string text = std::regex_replace(shown, line, "$1");
            EXPECT_NE(text.find(row.says), std::string::npos) << text;
        }
    }
}

// Drives E:, F: and G:, G: on F:'s device, which vetoes; a disc drive and a SUBST letter (on F:'s
// device too) are left alone.
struct ThreeDrives : testing::FakeSystem {
    ThreeDrives() {
        drives = {{u'S', DriveKind::Removable, u"", u"", 0},  // SUBST of a folder on F:
                  {u'G', DriveKind::Removable, u"", u"", 0},
                  {u'E', DriveKind::Removable, u"", u"", 0},
                  {u'F', DriveKind::External, u"", u"", 0},
                  {u'H', DriveKind::CdRom, u"", u"", 0}};
    }
    std::u16string DeviceName(char16_t letter) override {
        return letter == u'S' ? u"\\??\\F:\\work"
                              : u"\\Device\\HarddiskVolume" + std::u16string(1, letter);
    }
    std::u16string FindDevice(char16_t letter) override {
        return letter == u'E' ? u"USB\\A" : letter == u'H' ? u"IDE\\CD" : u"USB\\B";
    }
    EjectAnswer RequestEject(const std::u16string& device) override {
        asked += std::string(device.begin(), device.end()) + " ";
        return {device != u"USB\\B", 3, u""};
    }
    std::string asked;
};

TEST(HoldersConsole, EjectAllTakesEachDeviceOnceAndEndsWithTheWorstCode) {
    ThreeDrives system;
    EXPECT_EQ(system.Run(Words(u"eject --all --json")), 1);
    EXPECT_EQ(system.asked, "USB\\A USB\\B USB\\B USB\\B ");
    const Json json = Json::parse(ToUtf8(system.out));
    EXPECT_EQ(json["exit_code"], 1);
    std::string results;
    for (const Json& drive : json["drives"])
        results += drive["drive"].get<std::string>() + drive["result"].get<std::string>() +
                   std::to_string(drive["exit_code"].get<int>()) + " ";
    EXPECT_EQ(results, "E:ejected0 F:vetoed1 G:same_device1 ");
    EXPECT_EQ(json["drives"][2]["same_device_as"], "F:");

    ThreeDrives text;
    EXPECT_EQ(text.Run(Words(u"eject --all")), 1);
    EXPECT_NE(text.out.find(u"G: 与 F: 在同一设备上,已随 F: 一同处理。\n"), std::u16string::npos)
        << ToUtf8(text.out);
}

// A forced eject comes after a veto: T: is held by process 3 (its lock refused) unless the row
// holds nothing; the device vetoes three times, then accepts.
TEST(HoldersConsole, ForceAsksBeforeDismountingMediaAndRefusalsSendNothing) {
    struct Row {
        std::u16string line;
        bool held, answerYes, windowsVolume;
        int exitCode;
        bool asked;
        size_t requests;
        std::string journal, steps;  // the steps of the JSON's force or of the medium's eject
    };
    const Row rows[] = {
        {u"eject T: --force", true, true, false, 0, true, 4, "dismount",
         "lock_refused dismounted eject_requested"},
        {u"eject T: --force", true, false, false, 1, true, 3, "", "lock_refused not_confirmed"},
        {u"eject T: --force --json", true, true, false, 1, false, 3, "",
         "lock_refused not_confirmed"},
        {u"eject T: --force --yes --json", true, false, false, 0, false, 4, "dismount",
         "lock_refused dismounted eject_requested"},
        {u"eject T: --force --yes", true, true, true, 2, false, 0, "", ""},
        {u"eject T: --media --json", true, false, false, 1, false, 0, "", "lock_refused"},
        {u"eject T: --media --json", false, false, false, 0, false, 0, "dismount, medium",
         "locked dismounted removal_allowed medium_ejected"},
        {u"eject T: --media", false, false, true, 2, false, 0, "", ""}};
    for (const Row& row : rows) {
        SCOPED_TRACE(ToUtf8(row.line) + (row.answerYes ? " y" : " n"));
        testing::FakeSystem system;
        if (row.held)
            system.Hold(3);
        system.device = u"USB\\1";
        system.answers = {{false, 3, u""}, {false, 3, u""}, {false, 3, u""}, {true, 0, u""}};
        system.answerYes = row.answerYes;
        system.facts.windowsVolume = row.windowsVolume;
        EXPECT_EQ(system.Run(Words(row.line)), row.exitCode);
        EXPECT_EQ(system.requests, row.requests);
        EXPECT_EQ(system.journal, row.journal);
        EXPECT_EQ(system.questions.size(), row.asked ? 1u : 0u);
        if (row.exitCode == 2) {
            EXPECT_EQ(system.err, u"T: 是 Windows 所在的卷,拒绝强制弹出。\n");
            continue;
        }
        if (row.line.ends_with(u"--json")) {
            const Json json = Json::parse(ToUtf8(system.out));
            const Json& steps = json.contains("force") ? json["force"]["steps"] : json["steps"];
            std::string names;
            for (const Json& step : steps)
                names += (names.empty() ? "" : " ") + step.get<std::string>();
            EXPECT_EQ(names, row.steps);
            EXPECT_EQ(json.contains("holders") && !json["holders"].empty(), row.held);
        }
    }
}

TEST(HoldersConsole, TheQuestionNamesTheHoldersAndACardReaderIsToldOfMedia) {
    testing::FakeSystem system;
    system.Hold(3);
    system.device = u"USB\\1";
    system.answers = {{false, 3, u""}};
    system.facts.cardReader = true;
    EXPECT_EQ(system.Run(Words(u"eject T: --force")), 1);
    ASSERT_EQ(system.questions.size(), 1u);
    EXPECT_EQ(system.questions[0],
              u"仍有程序打开着 T: 上的文件,强制卸载可能使它们丢失未保存的数据。列出的程序: "
              u"stubborn.exe (3) 是否继续? (y/N)");
    EXPECT_NE(system.out.find(u"unplug eject T: --media,读卡器仍可使用。\n"), std::u16string::npos)
        << ToUtf8(system.out);
}

// free never asks or ends its own run's callers nor another run of itself. This run is 1,
// started at 50 by 13, from kSelfPath; each row is a process that holds T:. The one seen under
// 14's id is no caller, and no longer there to be ended.
TEST(HoldersConsole, FreeSparesTheCallersStillRunningAndOtherRunsByIdAndStartTime) {
    // pid, parent, start time in the process list and as the scan saw it, image path.
    const std::tuple<uint32_t, uint32_t, uint64_t, uint64_t, const char16_t*> rows[] = {
        {13, 14, 40, 40, u""},  // the parent cmd.exe, standing in T:\ too: a caller
        {14, 3, 30, 31, u""},   // the grandparent, but the scan saw another process under its id
        {3, 0, 60, 60, u""},    // started after 14: it took the id 14's parent left
        {15, 0, 70, 70, testing::kSelfPath},  // another run of this program
        {16, 0, 80, 80, u"D:\\old\\unplug.exe"}};
    testing::FakeSystem system;
    system.table[0] = {1, u"unplug.exe", 13, 50, testing::kSelfPath};
    for (const auto& [pid, parent, created, seen, path] : rows) {
        system.Hold(pid, parent, created, path);
        system.processes.back().creationTime = seen;
    }
    system.processes[0].currentDirectory = u"T:\\";
    EXPECT_EQ(system.Run(Words(u"free T: --kill")), 1);
    EXPECT_EQ(system.journal, "ask 14, ask 3, ask 16, end 14, end 3, end 16");
    EXPECT_EQ(ToUtf8(system.out), R"(已结束:
  3  stubborn.exe  打开的文件 T:\a.txt
  16  unplug.exe  打开的文件 T:\a.txt
仍占用 T: 的进程:
  13  cmd.exe  当前目录 T:\; 打开的文件 T:\a.txt (启动本程序的进程,不结束。请先在命令行中离开该驱动器 (cd /d C:\))
  14  cmd.exe  打开的文件 T:\a.txt (未关闭)
  15  unplug.exe  打开的文件 T:\a.txt (本程序的另一次运行,不结束)
)");
}

}  // namespace
}  // namespace varnel::holders

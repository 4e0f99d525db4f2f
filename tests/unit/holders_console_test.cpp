#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fakes/fake_holders.h"
#include "holders/arguments.h"
#include "holders/console_commands.h"
#include "holders/holder_texts.h"
#include "holders/report_json.h"
#include "holders/report_text.h"
#include "update/utf8.h"

namespace varnel::holders {
namespace {

using testing::Process;
using Args = std::vector<std::u16string>;

TEST(HoldersArguments, ReadsValidCommandsAndRefusesTheRest) {
    struct Row {
        Args args;
        std::optional<Command> expected;
    };
    auto command = [](CommandKind kind, char16_t letter, bool json, bool free, bool kill,
                      uint32_t wait) {
        return std::optional<Command>(Command{kind, letter, json, free, kill, wait});
    };
    const Row rows[] = {
        {{u"list"}, command(CommandKind::List, 0, false, false, false, 5)},
        {{u"--json", u"who", u"t:"}, command(CommandKind::Who, u'T', true, false, false, 5)},
        {{u"free", u"T:", u"--wait", u"0", u"--kill"},
         command(CommandKind::Free, u'T', false, false, true, 0)},
        {{u"eject", u"T", u"--kill", u"--json"},
         command(CommandKind::Eject, u'T', true, true, true, 5)},
        {{u"eject", u"T:", u"--free"}, command(CommandKind::Eject, u'T', false, true, false, 5)},
        {{u"-h"}, command(CommandKind::Help, 0, false, false, false, 5)},
        {{}, std::nullopt},
        {{u"who"}, std::nullopt},
        {{u"who", u"TT:"}, std::nullopt},
        {{u"who", u"T:", u"--kill"}, std::nullopt},
        {{u"free", u"T:", u"--wait"}, std::nullopt},
        {{u"free", u"T:", u"--wait", u"-1"}, std::nullopt},
        {{u"free", u"T:", u"--wait", u"3600"},
         command(CommandKind::Free, u'T', false, false, false, 3600)},
        {{u"free", u"T:", u"--wait", u"3601"}, std::nullopt},
        {{u"eject", u"T:", u"--wait", u"5"}, std::nullopt},
        {{u"free", u"T:", u"--free"}, std::nullopt},
        {{u"list", u"T:"}, std::nullopt},
        {{u"WHO", u"T:"}, std::nullopt},
    };
    for (const Row& row : rows) {
        const std::optional<Command> parsed = ParseArguments(row.args);
        ASSERT_EQ(parsed.has_value(), row.expected.has_value()) << row.args.size();
        if (parsed) {
            const Command& e = *row.expected;
            EXPECT_EQ(std::tie(parsed->kind, parsed->letter, parsed->json, parsed->free,
                               parsed->kill, parsed->waitSeconds),
                      std::tie(e.kind, e.letter, e.json, e.free, e.kill, e.waitSeconds));
        }
    }
}

const std::vector<DriveInfo> kDrives = {{u'E', DriveKind::Removable, u"U盘", u"FAT32", 1536},
                                        {u'F', DriveKind::External, u"", u"", 0},
                                        {u'G', DriveKind::CdRom, u"", u"", 0},
                                        {u'H', static_cast<DriveKind>(9), u"", u"", 0}};
const Holder kEditor{7, u"editor.exe", {{HoldKind::File, u"T:\\a.txt"}}};
const Holder kShell{8, u"explorer.exe", {{HoldKind::CurrentDirectory, u"T:\\"}}};
const std::u16string kEditorLine = u"  7  editor.exe  打开的文件 T:\\a.txt";
const std::u16string kNotInspected =
    u"个进程无法检查(其他用户的或受保护的进程);以管理员身份运行可查看它们。\n";

// The holder once with each spare reason, and once with one the reports do not know.
std::vector<LeftHolder> EveryReason(const Holder& holder) {
    std::vector<LeftHolder> left;
    for (int reason = 0; reason < 5; ++reason) {
        left.push_back({holder, static_cast<SpareReason>(reason)});
    }
    return left;
}

TEST(HoldersReports, KindNames) {
    const std::tuple<HoldKind, std::u16string, const char*> rows[] = {
        {HoldKind::File, u"打开的文件", "file"},
        {HoldKind::Folder, u"打开的文件夹", "folder"},
        {HoldKind::CurrentDirectory, u"当前目录", "current_directory"},
        {HoldKind::Program, u"程序", "program"},
        {HoldKind::Dll, u"DLL", "dll"},
        {HoldKind::MappedFile, u"映射的文件", "mapped_file"},
        {HoldKind::Volume, u"卷句柄", "volume"},
        {static_cast<HoldKind>(99), u"?", "?"}};
    for (const auto& [kind, word, name] : rows) {
        const Holder holder{9, u"", {{kind, u"T:\\x"}}};
        EXPECT_EQ(HolderLine(holder), u"  9  (未知程序)  " + word + u" T:\\x\n");
        EXPECT_EQ(HolderJson(holder)["holds"][0],
                  Json::parse(R"({"kind": ")" + std::string(name) + R"(", "path": "T:\\x"})"));
    }
}

TEST(HoldersReports, Sizes) {
    const uint64_t kGB = uint64_t{1} << 30;
    const std::pair<uint64_t, std::u16string> rows[] = {
        {1023, u"1023 B"}, {1024, u"1.0 KB"},        {10188, u"9.9 KB"},
        {10240, u"10 KB"}, {kGB * 3 / 2, u"1.5 GB"}, {kGB << 31, u"2048 PB"},
    };
    for (const auto& [bytes, text] : rows) {
        EXPECT_EQ(SizeText(bytes), text) << bytes;
    }
}

TEST(HoldersReports, VetoCauses) {
    const std::pair<int, std::u16string> rows[] = {
        {-1, u"未知原因(类型 -1)"},   {0, u"原因不明"},
        {3, u"有程序正在使用该设备"}, {12, u"权限不足,请以管理员身份运行"},
        {13, u"未知原因(类型 13)"},
    };
    for (const auto& [type, cause] : rows) {
        EXPECT_EQ(VetoCause(type), cause) << type;
    }
}

TEST(HoldersReports, TextForAPerson) {
    const FreeOutcome all{{kEditor}, {kShell}, EveryReason(kEditor), true, true, 1};
    const FreeOutcome clear{{kEditor}, {}, {}, false, false, 0};
    FreeOutcome uninspected{{}, {}, {}, true, false, 2};
    EjectOutcome vetoed{EjectResult::Vetoed, u"USB\\1", 3, {false, 5, u""}};
    const std::pair<std::u16string, std::u16string> rows[] = {
        {ListText(kDrives),
         u"E:  可移动  U盘  FAT32  1.5 KB\nF:  外接  (无卷标)  (无介质)\n"
         u"G:  光驱  (无卷标)  (无介质)\nH:  ?  (无卷标)  (无介质)\n"},
        {WhoText(u'T', {{}, 1}),
         u"在能检查的进程中没有发现占用 T: 的进程。\n有 1 " + kNotInspected},
        {FreeText(u'T', all),
         u"已关闭:\n" + kEditorLine + u"\n已结束:\n  8  explorer.exe  当前目录 T:\\\n" +
             u"已重新启动 explorer.exe。\n仍占用 T: 的进程:\n" + kEditorLine + u" (未关闭)\n" +
             kEditorLine + u" (本程序自身,不结束)\n" + kEditorLine + u" (系统关键进程,不结束)\n" +
             kEditorLine + u" (无法识别的进程,不结束)\n" + kEditorLine + u" (?)\n有 1 " +
             kNotInspected},
        {FreeText(u'T', clear), u"已关闭:\n" + kEditorLine + u"\nT: 已无进程占用。\n"},
        {FreeText(u'T', uninspected),
         u"explorer.exe 未能重新启动。\n在能检查的进程中已没有占用 T: 的进程。\n有 2 " +
             kNotInspected},
        {EjectText(u'T', vetoed, {}),
         u"弹出 T: 被拒绝(已尝试 3 次): 设备上还有打开的文件或句柄\n没有进程占用 T:。\n"},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(text, expected) << ToUtf8(text);
    }
}

TEST(HoldersReports, JsonForAScript) {
    const FreeOutcome free{{kEditor}, {}, EveryReason({}), false, false, 1};
    const EjectOutcome vetoed{EjectResult::Vetoed, u"USB\\1", 3, {false, 12, u"USB\\1"}};
    const std::string editor =
        R"({"pid": 7, "program": "editor.exe", "holds": [{"kind": "file", "path": "T:\\a.txt"}]})";
    const std::pair<Json, std::string> rows[] = {
        {ListJson(kDrives), R"({"command": "list", "drives": [
            {"drive": "E:", "kind": "removable", "label": "U盘", "file_system": "FAT32", "size": 1536},
            {"drive": "F:", "kind": "external", "label": "", "file_system": "", "size": 0},
            {"drive": "G:", "kind": "cdrom", "label": "", "file_system": "", "size": 0},
            {"drive": "H:", "kind": "?", "label": "", "file_system": "", "size": 0}]})"},
        {FreeJson(u'T', free), R"({"command": "free", "drive": "T:", "closed": [)" + editor +
                                   R"(], "ended": [], "left": [
            {"pid": 0, "program": "", "holds": [], "reason": "still_running"},
            {"pid": 0, "program": "", "holds": [], "reason": "self"},
            {"pid": 0, "program": "", "holds": [], "reason": "critical"},
            {"pid": 0, "program": "", "holds": [], "reason": "unidentified"},
            {"pid": 0, "program": "", "holds": [], "reason": "?"}],
            "shell_ended": false, "shell_restarted": false, "uninspected": 1})"},
        {EjectJson(u'T', {EjectResult::Ejected, u"USB\\1", 1, {}}, {{kEditor}, 1}),
         R"({"command": "eject", "drive": "T:", "result": "ejected", "device": "USB\\1",
            "tries": 1})"},
        {EjectJson(u'T', vetoed, {{kEditor}, 1}),
         R"({"command": "eject", "drive": "T:", "result": "vetoed", "device": "USB\\1",
            "tries": 3, "veto": {"type": 12, "cause": "权限不足,请以管理员身份运行",
            "by": "USB\\1"}, "holders": [)" +
             editor + R"(], "uninspected": 1})"},
    };
    for (const auto& [json, expected] : rows) {
        EXPECT_EQ(json, Json::parse(expected)) << json.dump();
    }
}

struct ConsoleRig {
    testing::FakeProcessControl control;
    testing::FakeScanner scanner{control};
    testing::FakeDrives drives;
    testing::FakeDeviceEject devices;
    testing::FakePacer pacer;
    testing::FakeOutput output;
    ConsoleServices services{drives, scanner, control, devices, pacer, output};

    ConsoleRig() { drives.devices[u'T'] = u"\\Device\\HarddiskVolume1"; }
    void Hold(uint32_t pid, const std::u16string& program, const std::u16string& name) {
        scanner.processes.push_back(Process(pid, program, {name}));
        control.running.insert(pid);
    }
    int Run(const Args& args) { return RunConsole(args, services); }
    nlohmann::json Json() const { return nlohmann::json::parse(ToUtf8(output.out)); }
};

// The exit codes are the documented numbers, not the names the code gives them.
TEST(HoldersConsole, ExitCodes) {
    struct Row {
        Args args;
        bool held, uninspected;
        int exitCode;
        std::u16string says;  // part of the output that shows why
    };
    const Row rows[] = {
        {{u"help"}, false, false, 0, u"用法:\n  unplug list"},
        {{u"list"}, false, false, 0, u"没有可移动驱动器或外接驱动器。"},
        {{u"who", u"T:"}, false, false, 0, u"没有进程占用 T:"},
        {{u"who", u"T:"}, true, false, 1, u"  7  editor.exe  打开的文件 T:\\a.txt\n"},
        {{u"who", u"T:"}, false, true, 3, u"有 1 个进程无法检查"},
        {{u"free", u"T:", u"--json"}, true, false, 1, u"\"reason\": \"still_running\""},
        {{u"free", u"T:", u"--kill"}, true, false, 0, u"已结束:\n  7  editor.exe"},
        {{u"free", u"T:"}, false, true, 3, u"在能检查的进程中已没有占用 T: 的进程。"},
        {{u"who", u"Q:"}, false, false, 2, u"驱动器 Q: 不存在"},
        {{u"who", u"S:"}, false, false, 2, u"SUBST"},
        {{u"who", u"T:", u"x"}, false, false, 2, u"参数错误。\n用法:"},
    };
    for (const Row& row : rows) {
        ConsoleRig rig;
        rig.drives.devices[u'S'] = u"\\??\\C:\\work";
        if (row.held) {
            rig.Hold(7, u"editor.exe", u"\\Device\\HarddiskVolume1\\a.txt");
        }
        if (row.uninspected) {
            rig.Hold(8, u"guarded.exe", u"");
            rig.scanner.processes.back().memoryRead = false;
        }
        EXPECT_EQ(rig.Run(row.args), row.exitCode);
        const std::u16string& shown = row.exitCode == 2 ? rig.output.err : rig.output.out;
        EXPECT_NE(shown.find(row.says), std::u16string::npos) << ToUtf8(shown);
    }
}

TEST(HoldersConsole, WhoAndErrorsInJson) {
    ConsoleRig rig;
    rig.Hold(7, u"编辑器.exe", u"\\??\\T:\\文档.txt");
    EXPECT_EQ(rig.Run({u"who", u"T:", u"--json"}), 1);
    EXPECT_EQ(rig.Json(), nlohmann::json::parse(R"({"command": "who", "drive": "T:",
        "holders": [{"pid": 7, "program": "编辑器.exe",
                     "holds": [{"kind": "file", "path": "T:\\文档.txt"}]}],
        "uninspected": 0, "exit_code": 1})"));

    ConsoleRig missing;
    EXPECT_EQ(missing.Run({u"free", u"Q:", u"--json"}), 2);
    EXPECT_EQ(missing.Json()["exit_code"], 2);
    EXPECT_EQ(missing.Json()["command"], "free");
}

TEST(HoldersConsole, EjectChain) {
    struct Row {
        std::u16string device;
        std::vector<EjectAnswer> answers;
        int exitCode;
        size_t requests;
        std::u16string says;
    };
    const Row rows[] = {
        {u"", {}, 2, 0, u"找不到 T: 所在的设备,无法弹出。\n"},
        {u"USB\\1", {{true, 0, u""}}, 0, 1, u"已弹出 T: (USB\\1),可以拔下设备了。\n"},
        {u"USB\\1", {{false, 5, u"x"}, {true, 0, u""}}, 0, 2, u"已弹出"},
        {u"USB\\1",
         {{false, 3, u"\\Device\\HarddiskVolume1"}},
         1,
         3,
         u"被拒绝(已尝试 3 次): 有程序正在使用该设备; 拒绝者: \\Device\\HarddiskVolume1\n"
         u"占用 T: 的进程:\n  7  editor.exe  打开的文件 T:\\a.txt\n"},
    };
    for (const Row& row : rows) {
        ConsoleRig rig;
        rig.Hold(7, u"editor.exe", u"\\??\\T:\\a.txt");
        rig.devices.device = row.device;
        rig.devices.answers = row.answers;
        EXPECT_EQ(rig.Run({u"eject", u"T:"}), row.exitCode);
        EXPECT_EQ(rig.devices.requested.size(), row.requests);
        EXPECT_EQ(rig.pacer.sleeps,
                  std::vector<uint32_t>(row.requests ? row.requests - 1 : 0, 500));
        EXPECT_NE((rig.output.out + rig.output.err).find(row.says), std::u16string::npos)
            << ToUtf8(rig.output.out + rig.output.err);
    }
}

TEST(HoldersConsole, EjectFreesFirstWhenAsked) {
    ConsoleRig rig;
    rig.Hold(7, u"editor.exe", u"\\??\\T:\\a.txt");
    rig.devices.device = u"USB\\1";
    EXPECT_EQ(rig.Run({u"eject", u"T:", u"--kill", u"--json"}), 0);
    const nlohmann::json json = rig.Json();
    EXPECT_EQ(json["result"], "ejected");
    EXPECT_EQ(json["free"]["ended"][0]["pid"], 7);
    EXPECT_EQ(rig.control.journal, (std::vector<std::u16string>{u"ask 7", u"end 7"}));
}

}  // namespace
}  // namespace varnel::holders

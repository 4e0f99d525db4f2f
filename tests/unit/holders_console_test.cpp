#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fakes/fake_holders.h"
#include "holders/arguments.h"
#include "holders/console_commands.h"
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
        {{u"free", u"T:", u"--wait", u"3601"}, std::nullopt},
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

TEST(HoldersConsole, ExitCodesOfWho) {
    struct Row {
        Args args;
        bool held, uninspected;
        int exitCode;
        std::u16string says;  // part of the output that shows why
    };
    const Row rows[] = {
        {{u"who", u"T:"}, false, false, kExitClear, u"没有进程占用 T:"},
        {{u"who", u"T:"}, true, false, kExitHeld, u"  7  editor.exe  打开的文件 T:\\a.txt\n"},
        {{u"who", u"T:"}, false, true, kExitIncomplete, u"有 1 个进程无法检查"},
        {{u"who", u"Q:"}, false, false, kExitError, u"驱动器 Q: 不存在"},
        {{u"who", u"S:"}, false, false, kExitError, u"SUBST"},
        {{u"who", u"T:", u"x"}, false, false, kExitError, u"用法"},
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
        EXPECT_NE((rig.output.out + rig.output.err).find(row.says), std::u16string::npos)
            << ToUtf8(rig.output.out + rig.output.err);
        EXPECT_EQ(rig.output.out.find(u"没有进程占用") != std::u16string::npos,
                  row.exitCode == kExitClear);
    }
}

TEST(HoldersConsole, WhoAndErrorsInJson) {
    ConsoleRig rig;
    rig.Hold(7, u"编辑器.exe", u"\\??\\T:\\文档.txt");
    EXPECT_EQ(rig.Run({u"who", u"T:", u"--json"}), kExitHeld);
    EXPECT_EQ(rig.Json(), nlohmann::json::parse(R"({"command": "who", "drive": "T:",
        "holders": [{"pid": 7, "program": "编辑器.exe",
                     "holds": [{"kind": "file", "path": "T:\\文档.txt"}]}],
        "uninspected": 0, "exit_code": 1})"));

    ConsoleRig missing;
    EXPECT_EQ(missing.Run({u"free", u"Q:", u"--json"}), kExitError);
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
        {u"", {}, kExitError, 0, u"找不到 T: 所在的设备"},
        {u"USB\\VID_1&PID_2\\3", {{true, 0, u""}}, kExitClear, 1, u"已弹出 T:"},
        {u"USB\\VID_1&PID_2\\3", {{false, 5, u"x"}, {true, 0, u""}}, kExitClear, 2, u"已弹出"},
        {u"USB\\VID_1&PID_2\\3",
         {{false, 3, u"\\Device\\HarddiskVolume1"}},
         kExitHeld,
         3,
         u"被拒绝(已尝试 3 次): 有程序正在使用该设备; 拒绝者: \\Device\\HarddiskVolume1\n"
         u"占用 T: 的进程:\n  7  editor.exe  打开的文件 T:\\a.txt\n"},
        {u"USB\\VID_1&PID_2\\3", {{false, 12, u""}}, kExitHeld, 3, u"权限不足"},
        {u"USB\\VID_1&PID_2\\3", {{false, 99, u""}}, kExitHeld, 3, u"未知原因(类型 99)"},
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
    EXPECT_EQ(rig.Run({u"eject", u"T:", u"--kill", u"--json"}), kExitClear);
    const nlohmann::json json = rig.Json();
    EXPECT_EQ(json["result"], "ejected");
    EXPECT_EQ(json["free"]["ended"][0]["pid"], 7);
    EXPECT_EQ(rig.control.journal, (std::vector<std::u16string>{u"ask 7", u"end 7"}));
}

}  // namespace
}  // namespace varnel::holders

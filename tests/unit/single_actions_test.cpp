#include "repair/single_actions.h"

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"

namespace varnel {
namespace {

using namespace testing;

struct SingleActionsTest : ::testing::Test, JournalingRepairRig {
    SingleActionsTest() {
        processes.running = {{4, u"rundll32.exe"}, {8, u"explorer.exe"}, {9, u"RunDll32.EXE"}};
    }

    JournalingButton command3{journal, u"Command3", u"清除Explorer", true};
    SingleActions actions{log, processes, clipboard, starter, command3};
};

TEST_F(SingleActionsTest, Command1EmptiesTheClipboardThenReportsStatusFirst) {
    actions.Command1_Click();
    EXPECT_EQ(journal, (Journal{u"empty clipboard", u"status 已清空剪贴板,您可尝试移除移动设备...",
                                u"log [ 14:03:27 ]已清空剪贴板..."}));
}

TEST_F(SingleActionsTest, Command2EndsEveryRundll32ThenReports) {
    actions.Command2_Click();
    EXPECT_EQ(journal, (Journal{u"terminate 4", u"terminate 9",
                                u"status 已清除相关进程,您可尝试移除移动设备...",
                                u"log [ 14:03:27 ]已清除相关进程..."}));

    // With none running the report is the same.
    journal.clear();
    processes.running.clear();
    actions.Command2_Click();
    EXPECT_EQ(journal, (Journal{u"status 已清除相关进程,您可尝试移除移动设备...",
                                u"log [ 14:03:27 ]已清除相关进程..."}));
}

TEST_F(SingleActionsTest, Command3TogglesBetweenStopAndRestartOnItsCaption) {
    actions.Command3_Click();
    actions.Command3_Click();
    actions.Command3_Click();
    EXPECT_EQ(journal, (Journal{
                           u"terminate 8",
                           u"status 已清除Explorer,请点击重启Explorer...",
                           u"log [ 14:03:27 ]已清除Explorer...",
                           u"Command3 caption 重启Explorer",
                           u"Command3 caption 清除Explorer",
                           u"start explorer.exe /2",
                           u"status 已重启Explorer,您可尝试移除移动设备...",
                           u"log [ 14:03:27 ]已重启Explorer...",
                           u"terminate 8",
                           u"status 已清除Explorer,请点击重启Explorer...",
                           u"log [ 14:03:27 ]已清除Explorer...",
                           u"Command3 caption 重启Explorer",
                       }));
}

TEST_F(SingleActionsTest, Command3WithAForeignCaptionDoesNothing) {
    for (const char16_t* caption : {u"清除explorer", u"重启Explorer ", u"", u"一键强力修复"}) {
        command3.FakeButton::SetCaption(caption);
        actions.Command3_Click();
        EXPECT_EQ(command3.Caption(), caption);
    }
    EXPECT_TRUE(journal.empty());
}

TEST_F(SingleActionsTest, Command5StartsTheSafeRemovalDialogEveryTimeAndReportsNothing) {
    actions.Command5_Click();
    actions.Command5_Click();
    const std::u16string start = u"start RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll /1";
    EXPECT_EQ(journal, (Journal{start, start}));
    EXPECT_EQ(starter.programs, std::vector<SystemProgram>(2, SystemProgram::Rundll32));
}

TEST_F(SingleActionsTest, OnExitTheShellThisToolStoppedIsStartedAgainOnlyWhenNoneRuns) {
    struct Case {
        const char* what;
        int clicks;            // of Command3 before the exit
        bool shellRunsAtExit;  // someone started it meanwhile
        bool restarted;
    };
    const std::vector<Case> cases{
        {"never stopped", 0, false, false},
        {"stopped", 1, false, true},
        {"stopped, and started by something else", 1, true, false},
        {"stopped and restarted by the button", 2, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JournalingRepairRig rig;
        rig.processes.running = {{8, u"Explorer.EXE"}};
        JournalingButton button{rig.journal, u"Command3", u"清除Explorer", true};
        SingleActions single{rig.log, rig.processes, rig.clipboard, rig.starter, button};
        for (int i = 0; i < c.clicks; ++i)
            single.Command3_Click();
        rig.processes.running = c.shellRunsAtExit ? std::vector<ProcessRecord>{{5, u"EXPLORER.exe"}}
                                                  : std::vector<ProcessRecord>{};
        rig.starter.started.clear();
        single.RestoreShell();
        single.RestoreShell();  // at most once
        EXPECT_EQ(rig.starter.started.size(), c.restarted ? 1u : 0u);
        if (c.restarted) {
            EXPECT_EQ(rig.starter.started[0], (FakeProgramStarter::Started{u"explorer.exe", 2}));
            EXPECT_EQ(rig.starter.programs.back(), SystemProgram::Shell);
        }
    }
}

TEST_F(SingleActionsTest, AFailingPlatformCallStopsTheActionBeforeItReports) {
    clipboard.fails = true;
    EXPECT_THROW(actions.Command1_Click(), PlatformError);

    starter.failing = {u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll"};
    EXPECT_THROW(actions.Command5_Click(), PlatformError);
    EXPECT_TRUE(journal.empty());

    starter.failing = {u"explorer.exe"};
    command3.FakeButton::SetCaption(u"重启Explorer");
    EXPECT_THROW(actions.Command3_Click(), PlatformError);
    EXPECT_EQ(journal, (Journal{u"Command3 caption 清除Explorer"}))
        << "the caption turns before the start, and nothing is reported after the failure";
}

}  // namespace
}  // namespace varnel

#include "repair/single_actions.h"

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"
#include "repair/kill_process.h"

namespace varnel {
namespace {

using namespace testing;

TEST(KillProcess, EndsEveryOtherProcessOfTheWholeNameIgnoringCaseThroughTheSystem) {
    FakeProcessTable table;
    table.self = 7;
    table.running = {{1, u"Explorer.EXE"},     {2, u"myexplorer.exe"}, {3, u"ДИСК.exe"},
                     {4, u"explorer.exe.bak"}, {5, u" explorer.exe"},  {6, u"explorer.ex"},
                     {7, u"explorer.exe"},     {8, u"EXPLORER.EXE"}};
    KillProcess(table, u"explorer.exe");
    KillProcess(table, u"Диск.exe");
    EXPECT_EQ(table.terminated, (std::vector<uint32_t>{1, 8, 3}));
    EXPECT_TRUE(IsRunning(table, u"диск.EXE"));
    EXPECT_FALSE(IsRunning(table, u"xplorer.exe"));
}

struct Rig : RepairRig {
    FakeButton command3{u"Command3", u"清除Explorer", &journal};
    SingleActions actions{log, processes, clipboard, starter, command3};
};

TEST(SingleActions, EachButtonActsThenReportsOnTheStatusLineAndInTheLog) {
    Rig r;
    r.processes.running = {{4, u"rundll32.exe"}, {8, u"explorer.exe"}, {9, u"RunDll32.EXE"}};
    r.actions.Command1_Click();
    r.actions.Command2_Click();
    r.actions.Command3_Click();  // stops the shell
    r.actions.Command3_Click();  // and starts it again
    r.actions.Command5_Click();
    EXPECT_EQ(r.journal, (Journal{
                             u"empty clipboard",
                             u"status 已清空剪贴板,您可尝试移除移动设备...",
                             u"log [ 14:03:27 ]已清空剪贴板...",
                             u"terminate 4",
                             u"terminate 9",
                             u"status 已清除相关进程,您可尝试移除移动设备...",
                             u"log [ 14:03:27 ]已清除相关进程...",
                             u"terminate 8",
                             u"status 已清除Explorer,请点击重启Explorer...",
                             u"log [ 14:03:27 ]已清除Explorer...",
                             u"Command3 caption 重启Explorer",
                             u"Command3 caption 清除Explorer",
                             u"shell explorer.exe /2",
                             u"status 已重启Explorer,您可尝试移除移动设备...",
                             u"log [ 14:03:27 ]已重启Explorer...",
                             u"rundll32 RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll /1",
                         }));
}

TEST(SingleActions, Command3WithAForeignCaptionDoesNothing) {
    for (const char16_t* caption : {u"清除explorer", u"重启Explorer "}) {
        Rig r;
        r.command3.SetCaption(caption);
        r.journal.clear();
        r.actions.Command3_Click();
        EXPECT_TRUE(r.journal.empty());
    }
}

TEST(SingleActions, OnExitTheShellThisToolStoppedIsStartedOnceWhenNoneRuns) {
    const struct {
        int clicks;            // of Command3 before the exit
        bool shellRunsAtExit;  // someone started it meanwhile
        bool restarted;
    } cases[] = {{0, false, false}, {1, false, true}, {1, true, false}, {2, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clicks);
        Rig r;
        r.processes.running = {{8, u"Explorer.EXE"}};
        for (int i = 0; i < c.clicks; ++i)
            r.actions.Command3_Click();
        r.processes.running.clear();
        if (c.shellRunsAtExit)
            r.processes.running = {{5, u"EXPLORER.exe"}};
        r.journal.clear();
        r.actions.RestoreShell();
        r.actions.RestoreShell();
        EXPECT_EQ(r.journal, c.restarted ? Journal{u"shell explorer.exe /2"} : Journal{});
    }
}

TEST(SingleActions, AFailingStartOrClipboardStopsTheActionBeforeItReports) {
    Rig r;
    r.clipboard.fails = true;
    EXPECT_THROW(r.actions.Command1_Click(), PlatformError);
    r.starter.failing = {u"explorer.exe"};
    r.command3.SetCaption(u"重启Explorer");
    r.journal.clear();
    EXPECT_THROW(r.actions.Command3_Click(), PlatformError);
    EXPECT_EQ(r.journal, Journal{u"Command3 caption 清除Explorer"});
}

}  // namespace
}  // namespace varnel

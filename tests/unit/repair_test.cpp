#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "fakes/fake_repair.h"
#include "repair/kill_process.h"
#include "repair/one_click_repair.h"
#include "repair/responsive_wait.h"
#include "repair/single_actions.h"

namespace varnel {
namespace {

using namespace testing;

// One wait: the clock at entry, the pause and how the world behaves meanwhile; then the time that
// passed and each sleep's time-out, each sleep being followed by the handling of events. The wait
// returns false exactly when a quit request came.
TEST(ResponsiveWait, ReturnsOnTimeSleepingTheRemainderAndHandlingEventsMeanwhile) {
    const struct {
        const char* name;
        uint32_t start;
        int16_t ms;
        uint32_t eventEveryMs, handlerMs;
        size_t quitAtDispatch;
        uint32_t elapsed;
        std::vector<uint32_t> sleeps;
    } rows[] = {
        {"zero", 0, 0, 0, 0, 0, 0, {}},
        {"most negative", 7, -32768, 0, 0, 0, 0, {}},
        {"one millisecond", 0, 1, 0, 0, 0, 1, {1}},
        {"the longest pause", 0, 32767, 0, 0, 0, 32767, {32767}},
        {"events every 700 ms", 5000, 2000, 700, 0, 0, 2000, {2000, 1300, 600}},
        {"the clock's wrap", 0xFFFFFF00u, 2000, 500, 0, 0, 2000, {2000, 1500, 1000, 500}},
        {"near 2^31 ms", 0x7FFFFF00u, 2000, 500, 0, 0, 2000, {2000, 1500, 1000, 500}},
        {"a handler outlasts the pause", 0, 2000, 10, 5000, 0, 5010, {2000}},
        {"a handler ends at the deadline", 0, 2000, 10, 1990, 0, 2000, {2000}},
        {"a quit request", 0, 2000, 100, 0, 3, 300, {2000, 1900, 1800}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        clock.now = row.start;
        FakeEventPump pump{clock};
        pump.eventEveryMs = row.eventEveryMs;
        pump.onDispatch = [&](size_t dispatch) {
            clock.now += row.handlerMs;
            return dispatch != row.quitAtDispatch;
        };
        EXPECT_EQ(ResponsiveWait(clock, pump).WaitMs(row.ms), row.quitAtDispatch == 0);
        EXPECT_EQ(clock.now - row.start, row.elapsed);
        EXPECT_EQ(pump.timeouts, row.sleeps);
    }
}

TEST(KillProcess, EndsEveryProcessOfTheWholeNameIgnoringCaseThroughTheSystem) {
    FakeProcessTable table;
    table.refused = {1};  // one the system will not let go does not keep the others
    table.running = {{1, u"Explorer.EXE"},     {2, u"myexplorer.exe"}, {3, u"ДИСК.exe"},
                     {4, u"explorer.exe.bak"}, {5, u" explorer.exe"},  {6, u"explorer.ex"},
                     {7, u"explorer.exe"},     {8, u"EXPLORER.EXE"}};
    KillProcess(table, u"explorer.exe");
    KillProcess(table, u"Диск.exe");
    EXPECT_EQ(table.terminated, (std::vector<uint32_t>{7, 8, 3}));
    EXPECT_TRUE(IsRunning(table, u"диск.EXE"));
    EXPECT_FALSE(IsRunning(table, u"xplorer.exe"));
}

struct Buttons : RepairRig {
    FakeButton command3{u"Command3", u"清除Explorer", &journal};
    SingleActions actions{log, processes, clipboard, starter, command3};
};

TEST(SingleActions, EachButtonActsThenReportsOnTheStatusLineAndInTheLog) {
    Buttons r;
    r.processes.running = {{4, u"rundll32.exe"}, {8, u"explorer.exe"}, {9, u"RunDll32.EXE"}};
    r.actions.Command1_Click();
    r.actions.Command2_Click();
    r.actions.Command3_Click();  // stops the shell
    r.actions.Command3_Click();  // and starts it again
    r.actions.Command5_Click();
    r.command3.caption = u"清除explorer";  // a caption it does not know: nothing happens
    r.actions.Command3_Click();
    EXPECT_EQ(
        r.journal,
        (Journal{
            u"empty clipboard", u"status 已清空剪贴板,您可尝试移除移动设备...",
            u"log [ 14:03:27 ]已清空剪贴板...", u"terminate 4", u"terminate 9",
            u"status 已清除相关进程,您可尝试移除移动设备...", u"log [ 14:03:27 ]已清除相关进程...",
            u"terminate 8", u"status 已清除Explorer,请点击重启Explorer...",
            u"log [ 14:03:27 ]已清除Explorer...", u"Command3 caption 重启Explorer",
            u"Command3 caption 清除Explorer", u"shell explorer.exe /2",
            u"status 已重启Explorer,您可尝试移除移动设备...", u"log [ 14:03:27 ]已重启Explorer...",
            u"rundll32 RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll /1"}));
}

TEST(SingleActions, OnExitTheShellThisToolStoppedIsStartedOnceWhenNoneRuns) {
    // Clicks of Command3 before the exit; whether a shell runs by then; whether one is started.
    const std::tuple<int, bool, bool> cases[] = {
        {0, false, false}, {1, false, true}, {1, true, false}, {2, false, false}};
    for (const auto& [clicks, shellRuns, restarted] : cases) {
        Buttons r;
        r.processes.running = {{8, u"Explorer.EXE"}};
        for (int i = 0; i < clicks; ++i)
            r.actions.Command3_Click();
        r.processes.running = shellRuns ? std::vector<ProcessRecord>{{5, u"EXPLORER.exe"}}
                                        : std::vector<ProcessRecord>{};
        r.journal.clear();
        r.actions.RestoreShell();
        r.actions.RestoreShell();
        EXPECT_EQ(r.journal, restarted ? Journal{u"shell explorer.exe /2"} : Journal{}) << clicks;
    }
}

TEST(SingleActions, AFailingStartOrClipboardStopsTheActionBeforeItReports) {
    Buttons r;
    r.clipboard.fails = true;
    EXPECT_THROW(r.actions.Command1_Click(), PlatformError);
    r.starter.failing = {u"explorer.exe"};
    r.command3.caption = u"重启Explorer";
    EXPECT_THROW(r.actions.Command3_Click(), PlatformError);
    EXPECT_EQ(r.journal, Journal{u"Command3 caption 清除Explorer"});
}

// Each pause shows up in the journal as "pause <ms> Command4 <state>", written from inside the
// pause like a nested handler would; the window closes, or a quit request comes, in pause n.
struct OneClick : RepairRig {
    OneClick(size_t closeInPause = 0, size_t quitInPause = 0) {
        processes.running = {{11, u"rundll32.exe"}, {22, u"explorer.exe"}};
        boxes.replies = {kAnswerYes};
        pump.onDispatch = [=, this](size_t pause) {
            journal.push_back(u"pause " + Number(pump.timeouts.back()) + u" Command4 " +
                              (command4.enabled ? u"enabled" : u"disabled"));
            window.open = pause != closeInPause;
            return pause != quitInPause;
        };
    }

    FakeButton command4{u"Command4", u"一键强力修复", &journal};
    FakeClock clock;
    FakeEventPump pump{clock};
    ResponsiveWait wait{clock, pump};
    FakeWindowPresence window;
    OneClickRepair repair{log, processes, clipboard, starter, boxes, command4, wait, window};
};

const std::u16string kDialog = u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll";
const Journal kFullRun{u"box 68 是否确定进行一键强力修复?",
                       u"Command4 disabled",
                       u"log [ 14:03:27 ]正进行一键强力修复...",
                       u"pause 2000 Command4 disabled",
                       u"empty clipboard",
                       u"log [ 14:03:27 ]已清空剪贴板...",
                       u"pause 2000 Command4 disabled",
                       u"terminate 11",
                       u"log [ 14:03:27 ]已清除相关进程...",
                       u"pause 3000 Command4 disabled",
                       u"terminate 22",
                       u"log [ 14:03:27 ]已清除Explorer,正在重启...",
                       u"pause 2000 Command4 disabled",
                       u"shell explorer.exe /2",
                       u"log [ 14:03:27 ]已重启Explorer...",
                       u"pause 2000 Command4 disabled",
                       u"log [ 14:03:27 ]一键强力修复完毕...",
                       u"log [ 14:03:27 ]您可以尝试移除移动设备...",
                       u"pause 1000 Command4 disabled",
                       u"Command4 enabled",
                       u"rundll32 RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll /1"};

TEST(OneClickRepair, OnlyYesRunsEveryStepInOrderWithItsPauses) {
    for (const int answer : {kAnswerYes, kAnswerNo, 2 /* IDCANCEL */}) {
        OneClick rig;
        rig.boxes.replies = {answer};
        rig.repair.Command4_Click();
        EXPECT_EQ(rig.journal, answer == kAnswerYes ? kFullRun : Journal{kFullRun[0]});
    }
}

TEST(OneClickRepair, EachFailingStepIsShownInsteadOfItsLogLineAndTheSequenceGoesOn) {
    OneClick rig;
    rig.clipboard.fails = true;
    rig.starter.failing = {u"explorer.exe", kDialog};
    rig.repair.Command4_Click();
    const std::map<std::u16string, std::u16string> replaced{
        // "": the entry goes
        {u"empty clipboard", u"box 16 操作失败：清空剪贴板\naccess denied"},
        {u"log [ 14:03:27 ]已清空剪贴板...", u""},
        {u"shell explorer.exe /2", u"box 16 操作失败：启动程序 explorer.exe\nx"},
        {u"log [ 14:03:27 ]已重启Explorer...", u""},
        {kFullRun.back(), u"box 16 操作失败：启动程序 " + kDialog + u"\nx"}};
    Journal expected;
    for (const std::u16string& entry : kFullRun) {
        const auto it = replaced.find(entry);
        if (it == replaced.end() || !it->second.empty())
            expected.push_back(it == replaced.end() ? entry : it->second);
    }
    EXPECT_EQ(rig.journal, expected);
}

TEST(OneClickRepair, AClosedWindowOrAQuitInAPauseEndsItRestoringOnlyAnEndedShell) {
    for (size_t pause = 1; pause <= 6; ++pause) {
        for (const bool quit : {false, true}) {
            SCOPED_TRACE(pause);
            OneClick rig(quit ? 0 : pause, quit ? pause : 0);
            rig.repair.Command4_Click();
            Journal expected;
            for (size_t seen = 0; seen < pause;) {  // the full run up to the n-th pause
                expected.push_back(kFullRun[expected.size()]);
                seen += expected.back().starts_with(u"pause ") ? 1 : 0;
            }
            if (pause == 4)
                expected.push_back(u"shell explorer.exe /2");  // ended, not yet started again
            EXPECT_EQ(rig.journal, expected) << "nothing touches the window after the close";
        }
    }
}

// Whatever ends the sequence by an exception (here its first pause), the button comes back.
TEST(OneClickRepair, AnEscapingFailureLeavesTheButtonUsable) {
    OneClick rig;
    rig.pump.onDispatch = [](size_t) -> bool { throw PlatformError(u"pause", u"x"); };
    EXPECT_THROW(rig.repair.Command4_Click(), PlatformError);
    EXPECT_TRUE(rig.command4.enabled);
}

}  // namespace
}  // namespace varnel

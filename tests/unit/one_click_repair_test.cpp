#include "repair/one_click_repair.h"

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"

namespace varnel {
namespace {

using namespace testing;

// Each pause shows up in the journal as "pause <ms> Command4 <state>", written from inside the
// pause like a nested handler would; the window closes, or a quit request comes, in pause n.
struct Rig : RepairRig {
    Rig(size_t closeInPause = 0, size_t quitInPause = 0) {
        processes.running = {{11, u"rundll32.exe"}, {22, u"explorer.exe"}};
        boxes.replies = {kAnswerYes};
        pump.onDispatch = [=, this](size_t pause) {
            journal.push_back(u"pause " + Number(pump.timeouts.back()) + u" Command4 " +
                              (command4.Enabled() ? u"enabled" : u"disabled"));
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
const Journal kFullRun{
    u"box 68 是否确定进行一键强力修复?",
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
    u"rundll32 " + kDialog + u" /1",
};

TEST(OneClickRepair, OnlyYesRunsEveryStepInOrderWithItsPauses) {
    for (const int answer : {kAnswerYes, kAnswerNo, 2 /* IDCANCEL */}) {
        Rig rig;
        rig.boxes.replies = {answer};
        rig.repair.Command4_Click();
        EXPECT_EQ(rig.journal, answer == kAnswerYes ? kFullRun : Journal{kFullRun[0]});
    }
}

TEST(OneClickRepair, AFailingStepIsShownInsteadOfItsLogLineAndTheSequenceGoesOn) {
    const struct {
        std::function<void(Rig&)> breakIt;
        std::u16string effect;  // the step's effect, replaced by the failure box
        std::u16string line;    // its log line, not written
        std::u16string box;
    } cases[] = {
        {[](Rig& r) { r.clipboard.fails = true; }, u"empty clipboard",
         u"log [ 14:03:27 ]已清空剪贴板...", u"box 16 操作失败：清空剪贴板\naccess denied"},
        {[](Rig& r) { r.starter.failing = {u"explorer.exe"}; }, u"shell explorer.exe /2",
         u"log [ 14:03:27 ]已重启Explorer...", u"box 16 操作失败：启动程序 explorer.exe\nx"},
        {[](Rig& r) { r.starter.failing = {kDialog}; }, kFullRun.back(), u"",
         u"box 16 操作失败：启动程序 " + kDialog + u"\nx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Rig rig;
        c.breakIt(rig);
        rig.repair.Command4_Click();
        Journal expected;
        for (const std::u16string& entry : kFullRun) {
            if (entry != c.line)
                expected.push_back(entry == c.effect ? c.box : entry);
        }
        EXPECT_EQ(rig.journal, expected);
    }
}

TEST(OneClickRepair, AClosedWindowOrAQuitInAPauseEndsItRestoringOnlyAnEndedShell) {
    for (size_t pause = 1; pause <= 6; ++pause) {
        for (const bool quit : {false, true}) {
            SCOPED_TRACE(pause);
            Rig rig(quit ? 0 : pause, quit ? pause : 0);
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

}  // namespace
}  // namespace varnel

#include "repair/one_click_repair.h"

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"

namespace varnel {
namespace {

using namespace testing;

// Everything the sequence touches, journaling into one list. Each pause shows up in the journal
// as "pause <ms> Command4 <state>", written from inside the pause like a nested handler would.
struct Rig : JournalingRepairRig {
    Rig() {
        processes.running = {{11, u"rundll32.exe"}, {22, u"explorer.exe"}};
        boxes.replies = {kAnswerYes};
        pump.onDispatch = [this](int dispatch) {
            journal.push_back(u"pause " + Number(pump.timeouts.back()) + u" Command4 " +
                              (command4.Enabled() ? u"enabled" : u"disabled"));
            if (dispatch == closeInPause)
                window.open = false;
            return dispatch != quitInPause;
        };
    }

    FakeMessageBoxes boxes;
    JournalingButton command4{journal, u"Command4", u"一键强力修复", true};
    FakeClock clock;
    FakeEventPump pump{clock};
    ResponsiveWait wait{clock, pump};
    FakeWindowPresence window;
    int closeInPause = 0;
    int quitInPause = 0;
    OneClickRepair repair{log, processes, clipboard, starter, boxes, command4, wait, window};
};

const Journal kFullRun{
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
    u"start explorer.exe /2",
    u"log [ 14:03:27 ]已重启Explorer...",
    u"pause 2000 Command4 disabled",
    u"log [ 14:03:27 ]一键强力修复完毕...",
    u"log [ 14:03:27 ]您可以尝试移除移动设备...",
    u"pause 1000 Command4 disabled",
    u"Command4 enabled",
    u"start RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll /1",
};

// The journal of a full run up to and including the n-th pause.
Journal UpToPause(int n) {
    Journal prefix;
    for (const std::u16string& entry : kFullRun) {
        prefix.push_back(entry);
        if (entry.starts_with(u"pause ") && --n == 0)
            break;
    }
    return prefix;
}

TEST(OneClickRepair, AfterYesRunsEveryStepInOrderWithItsPausesAndNoStatusText) {
    Rig rig;
    rig.repair.Command4_Click();
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.boxes.shown[0].text, u"是否确定进行一键强力修复?");
    EXPECT_EQ(rig.boxes.shown[0].title, u"提示");
    EXPECT_EQ(rig.boxes.shown[0].style, 68u);
    EXPECT_EQ(rig.journal, kFullRun);
    EXPECT_EQ(rig.pump.timeouts, (std::vector<uint32_t>{2000, 2000, 3000, 2000, 2000, 1000}));
    EXPECT_GE(rig.clock.now, 12000u);
    EXPECT_EQ(rig.list.selected, 6);
    EXPECT_TRUE(rig.status.sets.empty());
}

TEST(OneClickRepair, AnyAnswerButYesChangesNothing) {
    for (int answer : {kAnswerNo, 2 /* IDCANCEL */}) {
        Rig rig;
        rig.boxes.replies = {answer};
        rig.repair.Command4_Click();
        EXPECT_EQ(rig.boxes.shown.size(), 1u);
        EXPECT_TRUE(rig.journal.empty());
        EXPECT_TRUE(rig.command4.Enabled());
        EXPECT_EQ(rig.clock.readings, 0);
    }
}

TEST(OneClickRepair, AFailingStepStopsTheSequenceAndLeavesCommand4Enabled) {
    struct Case {
        const char* step;
        std::function<void(Rig&)> breakIt;
        int pausesBefore;
    };
    const std::vector<Case> cases{
        {"clipboard", [](Rig& r) { r.clipboard.fails = true; }, 1},
        {"shell start", [](Rig& r) { r.starter.failing = {u"explorer.exe"}; }, 4},
        {"dialog start",
         [](Rig& r) {
             r.starter.failing = {u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll"};
         },
         6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        Rig rig;
        c.breakIt(rig);
        EXPECT_THROW(rig.repair.Command4_Click(), PlatformError);
        Journal expected = UpToPause(c.pausesBefore);
        expected.push_back(u"Command4 enabled");
        EXPECT_EQ(rig.journal, expected);
        EXPECT_TRUE(rig.command4.Enabled());
    }
}

TEST(OneClickRepair, ClosingTheWindowInAPauseStopsAndRestoresOnlyAnEndedShell) {
    for (int pause = 1; pause <= 6; ++pause) {
        SCOPED_TRACE(pause);
        Rig rig;
        rig.closeInPause = pause;
        rig.repair.Command4_Click();
        Journal expected = UpToPause(pause);
        if (pause == 4) {
            expected.push_back(u"start explorer.exe /2");  // ended by step 6, not yet restarted
        }
        EXPECT_EQ(rig.journal, expected) << "no control, log line or dialog after the close";
    }
}

TEST(OneClickRepair, AQuitRequestInAPauseEndsTheSequenceLikeAClose) {
    Rig rig;
    rig.quitInPause = 4;
    rig.repair.Command4_Click();
    Journal expected = UpToPause(4);
    expected.push_back(u"start explorer.exe /2");
    EXPECT_EQ(rig.journal, expected);
}

}  // namespace
}  // namespace varnel

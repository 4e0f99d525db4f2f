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
    EXPECT_EQ(rig.starter.programs,
              (std::vector<SystemProgram>{SystemProgram::Shell, SystemProgram::Rundll32}));
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

TEST(OneClickRepair, AFailingStepIsShownAndTheSequenceGoesOnWithTheNextStep) {
    const std::u16string dialog = u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll";
    struct Case {
        const char* step;
        std::function<void(Rig&)> breakIt;
        std::u16string missingEntry;  // the step's effect, which did not happen
        std::u16string missingLine;   // its log line, not written
        std::u16string boxText;
    };
    const std::vector<Case> cases{
        {"clipboard held by another program", [](Rig& r) { r.clipboard.fails = true; },
         u"empty clipboard", u"log [ 14:03:27 ]已清空剪贴板...",
         u"操作失败：清空剪贴板\naccess denied"},
        {"shell start", [](Rig& r) { r.starter.failing = {u"explorer.exe"}; },
         u"start explorer.exe /2", u"log [ 14:03:27 ]已重启Explorer...",
         u"操作失败：启动程序 explorer.exe\nx"},
        {"dialog start", [&](Rig& r) { r.starter.failing = {dialog}; }, u"start " + dialog + u" /1",
         u"", u"操作失败：启动程序 " + dialog + u"\nx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        Rig rig;
        c.breakIt(rig);
        rig.repair.Command4_Click();
        Journal expected;
        for (const std::u16string& entry : kFullRun) {
            if (entry != c.missingEntry && entry != c.missingLine)
                expected.push_back(entry);
        }
        EXPECT_EQ(rig.journal, expected);
        ASSERT_EQ(rig.boxes.shown.size(), 2u);
        EXPECT_EQ(rig.boxes.shown[1].text, c.boxText);
        EXPECT_EQ(rig.boxes.shown[1].title, u"提示");
        EXPECT_EQ(rig.boxes.shown[1].style, 16u);  // error icon, OK
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

#include <gtest/gtest.h>

#include "fakes/fake_holders.h"
#include "holders/collect_holders.h"
#include "holders/free_policy.h"

namespace varnel::holders {
namespace {

using testing::Process;

struct FreeRig {
    testing::FakeProcessControl control;
    testing::FakePacer pacer;
    testing::FakeScanner scanner{control};

    void Hold(uint32_t pid, const std::u16string& program) {
        scanner.processes.push_back(
            Process(pid, program, {u"\\??\\T:\\f" + testing::PidText(pid)}));
        control.running.insert(pid);
    }
    FreeOutcome Free(bool kill, uint32_t waitSeconds = 5) {
        const DriveNames drive{u'T', u"\\Device\\Harddisk1"};
        return FreeDrive(
            [&] {
                return CollectHolders(scanner.Scan(), drive,
                                      [](const std::u16string&) { return false; });
            },
            control, pacer, {kill, waitSeconds});
    }
};

std::vector<uint32_t> Pids(const std::vector<Holder>& holders) {
    std::vector<uint32_t> pids;
    for (const Holder& holder : holders) {
        pids.push_back(holder.pid);
    }
    return pids;
}

TEST(HoldersFreePolicy, AsksPolitelyAndEndsNothingWithoutKill) {
    FreeRig rig;
    rig.Hold(2, u"editor.exe");  // closes when asked
    rig.Hold(3, u"stubborn.exe");
    rig.control.polite = {2};

    const FreeOutcome outcome = rig.Free(false, 3);

    EXPECT_EQ(Pids(outcome.closed), std::vector<uint32_t>{2});
    EXPECT_TRUE(outcome.ended.empty());
    ASSERT_EQ(outcome.left.size(), 1u);
    EXPECT_EQ(outcome.left[0].holder.pid, 3u);
    EXPECT_EQ(outcome.left[0].spared, SpareReason::None);
    EXPECT_EQ(rig.control.journal, (std::vector<std::u16string>{u"ask 2", u"ask 3"}));
    EXPECT_EQ(rig.pacer.now, 3000u);  // waited the whole time for the stubborn one, no longer
}

TEST(HoldersFreePolicy, KillEndsAfterAskingButSparesSelfCriticalUnidentifiedAndUnkillable) {
    FreeRig rig;
    rig.control.self = 1;
    rig.Hold(1, u"unplug.exe");
    rig.Hold(4, u"CSRSS.EXE");
    rig.Hold(5, u"service-host.exe");
    rig.control.critical = {5};
    rig.Hold(6, u"");
    rig.Hold(7, u"stubborn.exe");
    rig.Hold(9, u"guarded.exe");  // cannot be ended
    rig.control.unkillable = {9};

    const FreeOutcome outcome = rig.Free(true);

    EXPECT_EQ(rig.control.journal,
              (std::vector<std::u16string>{u"ask 7", u"ask 9", u"end 7", u"end 9"}));
    EXPECT_EQ(Pids(outcome.ended), std::vector<uint32_t>{7});
    std::vector<std::pair<uint32_t, SpareReason>> left;
    for (const LeftHolder& holder : outcome.left) {
        left.emplace_back(holder.holder.pid, holder.spared);
    }
    const std::vector<std::pair<uint32_t, SpareReason>> expected = {{1, SpareReason::Self},
                                                                    {4, SpareReason::Critical},
                                                                    {5, SpareReason::Critical},
                                                                    {6, SpareReason::Unidentified},
                                                                    {9, SpareReason::None}};
    EXPECT_EQ(left, expected);
    EXPECT_FALSE(outcome.shellEnded);
}

TEST(HoldersFreePolicy, RestartsTheShellOnlyWhenItWentAway) {
    for (const bool shellCloses : {true, false}) {
        FreeRig rig;
        rig.Hold(8, u"Explorer.EXE");
        if (shellCloses) {
            rig.control.polite = {8};
        }
        const FreeOutcome outcome = rig.Free(false, 1);
        EXPECT_EQ(outcome.shellRestarted, shellCloses);
        EXPECT_EQ(rig.control.journal.back() == u"start shell", shellCloses);
    }
    FreeRig killed;
    killed.Hold(8, u"explorer.exe");
    const FreeOutcome outcome = killed.Free(true, 0);
    EXPECT_EQ(killed.control.journal,
              (std::vector<std::u16string>{u"ask 8", u"end 8", u"start shell"}));
    EXPECT_TRUE(outcome.left.empty());
}

TEST(HoldersFreePolicy, DoesNotWaitForAProcessWithoutWindows) {
    FreeRig rig;
    rig.Hold(2, u"service.exe");
    rig.control.windowless = {2};
    rig.Free(true, 30);
    EXPECT_EQ(rig.pacer.now, 0u);
    EXPECT_EQ(rig.control.journal, (std::vector<std::u16string>{u"ask 2", u"end 2"}));
}

TEST(HoldersFreePolicy, GivesAnEndedProcessTwoSecondsToGo) {
    FreeRig rig;
    rig.Hold(2, u"slow.exe");
    rig.control.lingering = {2};
    const FreeOutcome outcome = rig.Free(true, 0);
    EXPECT_EQ(rig.pacer.now, 2000u);
    ASSERT_EQ(outcome.left.size(), 1u);  // still there after the grace, so still holding
    EXPECT_EQ(outcome.left[0].holder.pid, 2u);
}

}  // namespace
}  // namespace varnel::holders

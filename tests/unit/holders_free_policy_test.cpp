#include <gtest/gtest.h>

#include "fakes/fake_holders.h"
#include "holders/collect_holders.h"
#include "holders/free_policy.h"
#include "holders/holder_texts.h"

namespace varnel::holders {
namespace {

// What became of each holder, in short: "2:closed 3:ended 1:self 7:still_running".
std::string Summary(const FreeOutcome& outcome) {
    std::string text;
    for (const Holder& holder : outcome.closed) {
        text += std::to_string(holder.pid) + ":closed ";
    }
    for (const Holder& holder : outcome.ended) {
        text += std::to_string(holder.pid) + ":ended ";
    }
    for (const LeftHolder& left : outcome.left) {
        text += std::to_string(left.holder.pid) + ":" + SpareName(left.spared) + " ";
    }
    if (outcome.shellEnded) {
        text += outcome.shellRestarted ? "shell restarted" : "shell not restarted";
    }
    return text;
}

// The processes by id; unplug.exe itself runs as process 1.
const std::u16string kPrograms[] = {
    u"", u"unplug.exe",  u"editor.exe",   u"stubborn.exe", u"CSRSS.EXE",   u"service-host.exe",
    u"", u"guarded.exe", u"Explorer.EXE", u"explorer.exe", u"service.exe", u"slow.exe"};

// Asking comes before ending; only a process asked through a window is waited for, for the
// whole limit at most; an ended one gets two seconds to go; some are never ended.
TEST(HoldersFreePolicy, AsksWaitsEndsAndSpares) {
    struct Row {
        std::vector<uint32_t> holders;
        bool kill;
        uint32_t waitSeconds;
        std::string outcome, journal;
        uint64_t waitedMs;
    };
    const Row rows[] = {
        {{2, 3}, false, 3, "2:closed 3:still_running ", "ask 2, ask 3", 3000},
        {{1, 2, 3, 4, 5, 6, 7},
         true,
         0,
         "2:closed 3:ended 1:self 4:critical 5:critical 6:unidentified 7:still_running ",
         "ask 2, ask 3, ask 7, end 3, end 7",
         0},
        {{8}, false, 1, "8:closed shell restarted", "ask 8, start shell", 0},
        {{9}, false, 1, "9:still_running ", "ask 9", 1000},
        {{9}, true, 0, "9:ended shell restarted", "ask 9, end 9, start shell", 0},
        {{10}, true, 30, "10:ended ", "ask 10, end 10", 0},
        {{11}, true, 0, "11:ended 11:still_running ", "ask 11, end 11", 2000}};
    for (const Row& row : rows) {
        testing::FakeSystem system;
        for (const uint32_t pid : row.holders) {
            system.Hold(pid, kPrograms[pid], u"\\??\\T:\\a.txt");
        }
        system.polite = {2, 8};  // close when asked
        system.critical = {5};
        system.unkillable = {7};
        system.windowless = {10};
        system.lingering = {11};  // runs on for a while after being ended
        const FreeOutcome outcome = FreeDrive(
            [&] {
                return CollectHolders(system.Scan(), {u'T', u"\\Device\\HarddiskVolume1"},
                                      [](const std::u16string&) { return false; });
            },
            system, system, {row.kill, row.waitSeconds});
        EXPECT_EQ(Summary(outcome), row.outcome) << row.journal;
        EXPECT_EQ(system.journal, row.journal);
        EXPECT_EQ(system.now, row.waitedMs) << row.journal;
    }
}

}  // namespace
}  // namespace varnel::holders

#include "repair/kill_process.h"

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"

namespace varnel {
namespace {

using testing::FakeProcessTable;

TEST(KillProcess, MatchesTheWholeNameIgnoringCaseOnly) {
    FakeProcessTable table;
    table.running = {{1, u"Explorer.EXE"},     {2, u"myexplorer.exe"}, {3, u"EXPLORER.EXE"},
                     {4, u"explorer.exe.bak"}, {5, u" explorer.exe"},  {6, u"explorer.ex"},
                     {7, u"explorer.exe"}};
    KillProcess(table, u"explorer.exe");
    EXPECT_EQ(table.terminated, (std::vector<uint32_t>{1, 3, 7}));
}

TEST(KillProcess, LowerCasesLettersBeyondAsciiThroughTheSystem) {
    FakeProcessTable table;
    table.running = {{1, u"ДИСК.exe"}, {2, u"диск.EXE"}, {3, u"диск2.exe"}};
    KillProcess(table, u"Диск.exe");
    EXPECT_EQ(table.terminated, (std::vector<uint32_t>{1, 2}));
}

TEST(KillProcess, EndsEveryMatchInSnapshotOrderAndSkipsOnesThatCannotBeOpened) {
    FakeProcessTable table;
    table.running = {{30, u"rundll32.exe"},
                     {10, u"notepad.exe"},
                     {20, u"RunDll32.EXE"},
                     {40, u"rundll32.exe"},
                     {50, u"RUNDLL32.EXE"}};
    table.unopenable = {20};
    KillProcess(table, u"rundll32.exe");
    EXPECT_EQ(table.terminated, (std::vector<uint32_t>{30, 40, 50}));
}

TEST(KillProcess, NeverEndsTheToolsOwnProcessWhateverItsFileIsCalled) {
    FakeProcessTable table;
    table.self = 7;
    table.running = {{5, u"rundll32.exe"}, {7, u"rundll32.exe"}, {9, u"RUNDLL32.exe"}};
    KillProcess(table, u"rundll32.exe");
    EXPECT_EQ(table.terminated, (std::vector<uint32_t>{5, 9}));
}

TEST(KillProcess, NothingRunningOrNoSnapshotEndsNothing) {
    FakeProcessTable table;
    table.running = {{1, u"notepad.exe"}};
    KillProcess(table, u"rundll32.exe");
    table.running = {{2, u"rundll32.exe"}};
    table.snapshotFails = true;
    KillProcess(table, u"rundll32.exe");
    EXPECT_TRUE(table.terminated.empty());
}

}  // namespace
}  // namespace varnel

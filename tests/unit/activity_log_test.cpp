#include "log/activity_log.h"

#include <gtest/gtest.h>

#include "fakes/fake_window.h"

namespace varnel {
namespace {

using testing::FakeLogList;
using testing::FakeStatusBar;
using testing::FakeTimeOfDay;

struct ActivityLogTest : ::testing::Test {
    FakeLogList list;
    FakeStatusBar status;
    FakeTimeOfDay clock;
    ActivityLog log{list, status, clock};
};

TEST(LogLineFormat, BracketsTheTimeAndAppendsTheMessageUnchanged) {
    EXPECT_EQ(FormatLogLine(u"14:03:27", u"已清空剪贴板..."), u"[ 14:03:27 ]已清空剪贴板...");
    EXPECT_EQ(FormatLogLine(u"2:03:27 PM", u""), u"[ 2:03:27 PM ]");
    EXPECT_EQ(FormatLogLine(u"下午 2:03:27", u" x "), u"[ 下午 2:03:27 ] x ");
}

TEST_F(ActivityLogTest, EachAppendAddsTheLastLineAndSelectsIt) {
    log.AppendLog(u"a");
    EXPECT_EQ(list.lines, std::vector<std::u16string>{u"[ 14:03:27 ]a"});
    EXPECT_EQ(list.selected, 0);

    list.Select(0);  // the user clicks an older line
    clock.now = u"14:03:28";
    log.AppendLog(u"b");
    log.AppendLog(u"c");
    ASSERT_EQ(list.lines.size(), 3u);
    EXPECT_EQ(list.lines[1], u"[ 14:03:28 ]b");
    EXPECT_EQ(list.lines[2], u"[ 14:03:28 ]c");
    EXPECT_EQ(list.selected, 2);
    EXPECT_TRUE(status.sets.empty()) << "AppendLog never touches the status line";
}

TEST_F(ActivityLogTest, ClearingEmptiesTheLogSetsStatusAndTheNextLineIsLineZero) {
    log.AppendLog(u"a");
    log.AppendLog(u"b");
    log.qk_Click();
    EXPECT_TRUE(list.lines.empty());
    EXPECT_EQ(status.Panel2(), u"已清空日志...");
    log.AppendLog(u"c");
    ASSERT_EQ(list.lines.size(), 1u);
    EXPECT_EQ(list.selected, 0);

    // Clearing an empty log still reports it.
    list.Clear();
    status.sets.clear();
    log.qk_Click();
    EXPECT_EQ(status.sets, (std::vector<std::pair<int, std::u16string>>{{2, u"已清空日志..."}}));
}

TEST_F(ActivityLogTest, SetStatusReplacesPanelTwoOnly) {
    log.SetStatus(u"one");
    log.SetStatus(u"");
    EXPECT_EQ(status.sets, (std::vector<std::pair<int, std::u16string>>{{2, u"one"}, {2, u""}}));
}

TEST_F(ActivityLogTest, AtTheBoundTheOldestLineGivesWayAndTheNewOneIsSelected) {
    for (int i = 0; i < ActivityLog::kMaxLines; ++i) {
        list.lines.push_back(u"old " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
    }
    const std::u16string second = list.lines[1];
    log.AppendLog(u"newest");
    ASSERT_EQ(list.lines.size(), static_cast<size_t>(ActivityLog::kMaxLines));
    EXPECT_EQ(list.lines.front(), second);
    EXPECT_EQ(list.lines.back(), u"[ 14:03:27 ]newest");
    EXPECT_EQ(list.selected, ActivityLog::kMaxLines - 1);
}

}  // namespace
}  // namespace varnel

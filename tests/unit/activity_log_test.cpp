#include "log/activity_log.h"

#include <gtest/gtest.h>

#include "fakes/fake_window.h"

namespace varnel {
namespace {

using namespace testing;

struct Log {
    Log() { list.journal = status.journal = &journal; }
    Journal journal;
    FakeLogList list;
    FakeStatusBar status;
    FakeTimeOfDay clock;
    ActivityLog log{list, status, clock};
};

TEST(ActivityLog, AppendsTimedLinesSelectingTheNewestAndReportsEachClearOnTheStatusLine) {
    Log l;
    l.log.AppendLog(u"a");
    l.list.Select(0);  // the user clicks an older line
    l.clock.now = u"2:03:27 PM";
    l.log.AppendLog(u" b ");
    EXPECT_EQ(l.list.selected, 1);
    l.log.SetStatus(u"one");
    l.log.qk_Click();
    l.log.qk_Click();  // an empty log is reported too
    l.log.AppendLog(u"");
    EXPECT_EQ(l.list.selected, 0);
    EXPECT_EQ(l.journal,
              (Journal{u"log [ 14:03:27 ]a", u"log [ 2:03:27 PM ] b ", u"status one",
                       u"status 已清空日志...", u"status 已清空日志...", u"log [ 2:03:27 PM ]"}));
    EXPECT_EQ(l.list.lines, Journal{u"[ 2:03:27 PM ]"});
}

TEST(ActivityLog, AtTheBoundTheOldestLineGivesWay) {
    Log l;
    for (int i = 0; i < ActivityLog::kMaxLines; ++i)
        l.list.lines.push_back(Number(i));
    l.log.AppendLog(u"newest");
    ASSERT_EQ(l.list.lines.size(), static_cast<size_t>(ActivityLog::kMaxLines));
    EXPECT_EQ(l.list.lines.front(), u"1");
    EXPECT_EQ(l.list.lines.back(), u"[ 14:03:27 ]newest");
    EXPECT_EQ(l.list.selected, ActivityLog::kMaxLines - 1);
}

}  // namespace
}  // namespace varnel

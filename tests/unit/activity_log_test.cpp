#include "log/activity_log.h"

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"

namespace varnel {
namespace {

using namespace testing;

TEST(ActivityLog, AppendsTimedLinesSelectingTheNewestAndReportsEachClearOnTheStatusLine) {
    RepairRig r;
    r.log.AppendLog(u"a");
    r.list.Select(0);  // the user clicks an older line
    r.time.now = u"2:03:27 PM";
    r.log.AppendLog(u" b ");
    EXPECT_EQ(r.list.selected, 1);
    r.log.SetStatus(u"one");
    r.log.qk_Click();
    r.log.qk_Click();  // an empty log is reported too
    r.log.AppendLog(u"");
    EXPECT_EQ(r.list.selected, 0);
    EXPECT_EQ(r.journal,
              (Journal{u"log [ 14:03:27 ]a", u"log [ 2:03:27 PM ] b ", u"status one",
                       u"status 已清空日志...", u"status 已清空日志...", u"log [ 2:03:27 PM ]"}));
    EXPECT_EQ(r.list.lines, Journal{u"[ 2:03:27 PM ]"});

    // At the bound the oldest line gives way.
    r.list.lines.resize(ActivityLog::kMaxLines, u"old");
    r.log.AppendLog(u"newest");
    EXPECT_EQ(r.list.lines.front(), u"old");
    EXPECT_EQ(r.list.lines.back(), u"[ 2:03:27 PM ]newest");
    EXPECT_EQ(r.list.selected, ActivityLog::kMaxLines - 1);
}

}  // namespace
}  // namespace varnel

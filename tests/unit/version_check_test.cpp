#include "update/version_check.h"

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"
#include "fakes/fake_update_services.h"

namespace varnel {
namespace {

using namespace varnel::testing;

std::u16string Answer(const std::u16string& result, const std::u16string& version,
                      const std::u16string& must, const std::u16string& sid = u"\"77\"") {
    return u"{\"result\":" + result + u",\"info\":{\"version\":" + version + u",\"sid\":" + sid +
           u",\"must\":" + must + u"}}";
}

// One program start: the window's controls and services as fakes, journaling, and the check.
struct Start {
    Start() { boxes.journal = status.journal = starter.journal = &journal; }

    // Runs the first tick and tells what the user met, in order, ending with whether the process
    // ended or a platform failure reached the window.
    std::u16string Outcome() {
        try {
            check.Timer1_Timer();
        } catch (const ProcessEnded&) {
            journal.push_back(u"ended");
        } catch (const PlatformError&) {
            journal.push_back(u"failure");
        }
        EXPECT_EQ(transport.requests.size(), 1u);
        EXPECT_EQ(transport.requests.at(0).url,
                  u"https://v.test:8443/index.php/Index/soft_version");
        EXPECT_EQ(transport.requests.at(0).body, "sn=kesto");
        std::u16string outcome;
        for (const std::u16string& entry : journal)
            outcome += (outcome.empty() ? u"" : u"; ") + entry;
        return outcome;
    }

    Journal journal;
    FakeTransport transport;
    TableCodePage codePage{{}};
    FormPoster poster{transport, codePage};
    FakeMessageBoxes boxes;
    FakeLogList list;
    FakeStatusBar status;
    FakeTimeOfDay clock;
    ActivityLog log{list, status, clock};
    FakeProgramStarter starter;
    FakeProcessExit exit;
    FakeWindowPresence window;
    VersionCheck check{poster,
                       boxes,
                       log,
                       starter,
                       exit,
                       window,
                       [this] { journal.push_back(u"buttons on"); },
                       [this] { journal.push_back(u"timer off"); },
                       {u"https://v.test:8443", u"https://www.site.test"}};
};

TEST(VersionCheck, EachAnswerLeadsToItsOutcome) {
    const std::u16string failed = u"box 64 检测失败,请先使用当前版本; buttons on; timer off";
    const std::u16string welcome = u"status 欢迎使用Varnel软件..; buttons on; timer off";
    const auto offer = [](const std::u16string& version) {
        return u"box 68 发现最新版本" + version + u"，是否现在更新?; ";
    };
    const std::u16string page =
        u"shell explorer.exe \"https://www.site.test/index.php/Works/detail/sid/";
    const std::u16string version64 = u"3.1." + std::u16string(60, u'9');
    const std::u16string sid256(256, u'7');
    struct Row {
        std::u16string body;
        int reply;  // to the update question
        std::u16string outcome;
        bool transportFails = false;
        bool closedMeanwhile = false;  // the window, while the exchange ran
    };
    const Row rows[] = {
        {Answer(u"0", u"\"3.0.0\"", u"0"), kAnswerNo, failed},
        {Answer(u"\"0\"", u"\"3.0.0\"", u"0"), kAnswerNo, failed},
        {Answer(u"1", u"\"3.0.0\"", u"1"), kAnswerNo,
         u"status 当前软件为最新版本,欢迎使用Varnel软件..; buttons on; timer off"},
        {Answer(u"\"ok\"", u"\"3.0.1\"", u"\"0\""), kAnswerNo, offer(u"3.0.1") + welcome},
        {Answer(u"1", u"\"2.9.0\"", u"0"), kAnswerNo, offer(u"2.9.0") + welcome},
        {Answer(u"1", u"\"3.0.0 \"", u"0"), kAnswerNo, offer(u"3.0.0 ") + welcome},
        {Answer(u"1", u"3", u"0"), kAnswerNo, offer(u"3") + welcome},
        {Answer(u"1", u"\"3.1.0\"", u"1"), kAnswerNo, offer(u"3.1.0") + u"ended"},
        {Answer(u"1", u"\"3.1.0\"", u"\"0 \""), kAnswerNo, offer(u"3.1.0") + u"ended"},
        {Answer(u"1", u"\"3.1.0\"", u"\"0\"", u"25"), kAnswerYes,
         offer(u"3.1.0") + page + u"25\" /2; ended"},
        {Answer(u"1", u"\"3.1.0\"", u"1", u"25"), kAnswerYes,
         offer(u"3.1.0") + page + u"25\" /2; ended"},
        {Answer(u"1", u"\"3.1.0\"", u"0", uR"("1\" /select,C:\\x")"), kAnswerYes,
         offer(u"3.1.0") + page + u"1%22%20%2Fselect%2CC%3A%5Cx\" /2; ended"},
        {Answer(u"1", u"\"" + version64 + u"\"", u"0", u"\"" + sid256 + u"\""), kAnswerYes,
         offer(version64) + page + sid256 + u"\" /2; ended"},
        // The download page does not open: the tool stays usable and the window reports it.
        {Answer(u"1", u"\"3.1.0\"", u"1", u"666"), kAnswerYes,
         offer(u"3.1.0") + u"buttons on; timer off; failure"},
        // Every failure of the exchange or of the answer takes the failed path.
        {u"", kAnswerNo, failed, true},
        {u"<html><h1>500</h1></html>", kAnswerNo, failed},
        {Answer(u"1", u"\"" + std::u16string(65, u'9') + u"\"", u"0"), kAnswerNo, failed},
        {Answer(u"1", u"\"3.1\\u202e\"", u"0"), kAnswerNo, failed},
        {Answer(u"1", u"\"3.1\"", u"0", u"\"" + std::u16string(257, u'7') + u"\""), kAnswerNo,
         failed},
        {Answer(u"1", u"\"3.0.0\"", u"0", u"\"7\\t7\""), kAnswerNo, failed},
        // An answer arriving after the window closed is ignored.
        {Answer(u"1", u"\"3.1.0\"", u"1"), kAnswerYes, u"", false, true},
        {u"", kAnswerYes, u"", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.body.begin(), row.body.end()));
        Start s;
        s.transport.answer = {200, row.body};
        s.transport.fail = row.transportFails;
        s.transport.during = [&] { s.window.open = !row.closedMeanwhile; };
        s.boxes.replies = {row.reply};
        s.starter.failing = {page.substr(6) + u"666\""};
        EXPECT_EQ(s.Outcome(), row.outcome);
    }
}

TEST(VersionCheck, TicksDuringOrAfterTheCheckStartNothing) {
    Start s;
    s.transport.answer = {200, Answer(u"1", u"\"3.0.0\"", u"0")};
    s.transport.during = [&] { s.check.Timer1_Timer(); };
    const std::u16string upToDate =
        u"status 当前软件为最新版本,欢迎使用Varnel软件..; buttons on; timer off";
    EXPECT_EQ(s.Outcome(), upToDate);
    EXPECT_EQ(s.Outcome(), upToDate);  // one request, one outcome
}

TEST(IsPlainText, RefusesControlsAndOverlongTextAtEveryEdge) {
    const struct {
        char16_t unit;
        bool plain;
    } rows[] = {
        {0x0000, false}, {0x001F, false}, {0x0020, true},  {0x007E, true},  {0x007F, false},
        {0x009F, false}, {0x00A0, true},  {0x061B, true},  {0x061C, false}, {0x061D, true},
        {0x200D, true},  {0x200E, false}, {0x200F, false}, {0x2010, true},  {0x2027, true},
        {0x2028, false}, {0x2029, false}, {0x202A, false}, {0x202E, false}, {0x202F, true},
        {0x2065, true},  {0x2066, false}, {0x2069, false}, {0x206A, true},  {0x4E2D, true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsPlainText(u"3." + std::u16string(1, row.unit), 3), row.plain) << int{row.unit};
    EXPECT_FALSE(IsPlainText(u"abcd", 3));
    EXPECT_TRUE(IsPlainText(u"", 0));
}

TEST(PercentEncode, KeepsUnreservedBytesAndEscapesEveryOtherUtf8Byte) {
    EXPECT_EQ(PercentEncode(u"AZaz09-._~"), u"AZaz09-._~");
    EXPECT_EQ(PercentEncode(u"@[`{/:\"&%+ \t中"), u"%40%5B%60%7B%2F%3A%22%26%25%2B%20%09%E4%B8%AD");
}

}  // namespace
}  // namespace varnel

#include "update/version_check.h"

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"
#include "fakes/fake_update_services.h"
#include "fakes/fake_window.h"

namespace varnel {
namespace {

using namespace varnel::testing;

constexpr char16_t kInitialStatus[] = u"正在检测是否有最新版本..";

std::u16string Answer(const std::u16string& result, const std::u16string& version,
                      const std::u16string& must, const std::u16string& sid = u"\"77\"") {
    return u"{\"result\":" + result + u",\"info\":{\"version\":" + version + u",\"sid\":" + sid +
           u",\"must\":" + must + u"}}";
}

// One program start: the window's controls and services as fakes, and the check wired to them.
struct Start {
    Start() { status.SetPanelText(2, kInitialStatus); }

    // Runs the first tick and tells what the user met, in one line: each box ("i" informs, "?"
    // asks), the status line if it changed, each program started with its show style, and then
    // whether the tool went on (buttons on, then the timer off) or the process ended.
    std::u16string Outcome() {
        std::u16string outcome;
        bool ended = false;
        try {
            check.Timer1_Timer();
        } catch (const ProcessEnded&) {
            ended = true;
        }
        for (const auto& box : boxes.shown) {
            EXPECT_EQ(box.title, u"提示");
            outcome += (box.style == kStyleInfoYesNo ? u"? " : u"i ") + box.text + u"; ";
        }
        if (status.Panel2() != kInitialStatus)
            outcome += u"status " + status.Panel2() + u"; ";
        for (const auto& started : starter.started)
            outcome += u"start " + started.commandLine + u" /" + Number(started.showStyle) + u"; ";
        if (ended)
            return outcome + u"ended";
        return outcome + (finalOrder == std::vector<std::string>{"enable", "stop"} ? u"goes on"
                          : finalOrder.empty()                                     ? u"nothing"
                                                                                   : u"?");
    }

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
    std::vector<std::string> finalOrder;
    VersionCheck check{poster,
                       boxes,
                       log,
                       starter,
                       exit,
                       window,
                       [this] { finalOrder.push_back("enable"); },
                       [this] { finalOrder.push_back("stop"); },
                       {u"https://localhost:8443", u"https://www.site.test"}};
};

TEST(VersionCheck, PostsTheSoftwareIdentifierToTheServicePath) {
    Start s;
    s.transport.answer = {200, Answer(u"1", u"\"3.0.0\"", u"0")};
    s.Outcome();
    ASSERT_EQ(s.transport.requests.size(), 1u);
    EXPECT_EQ(s.transport.requests[0].url, u"https://localhost:8443/index.php/Index/soft_version");
    EXPECT_EQ(s.transport.requests[0].contentType, u"application/x-www-form-urlencoded");
    EXPECT_EQ(s.transport.requests[0].body, "sn=kesto");
}

TEST(VersionCheck, EachAnswerLeadsToItsOutcome) {
    const std::u16string failed = u"i 检测失败,请先使用当前版本; goes on";
    const auto offer = [](const std::u16string& version) {
        return u"? 发现最新版本" + version + u"，是否现在更新?; ";
    };
    const std::u16string page =
        u"start explorer.exe \"https://www.site.test/index.php/Works/"
        u"detail/sid/";
    const std::u16string version64 = u"3.1." + std::u16string(60, u'9');
    const std::u16string sid256(256, u'7');
    struct Row {
        const char* what;
        std::u16string body;
        int reply;  // to the update question
        std::u16string outcome;
        int status = 200;
        bool transportFails = false;
    };
    const std::vector<Row> rows{
        // The decision table.
        {"result 0", Answer(u"0", u"\"3.0.0\"", u"0"), kAnswerNo, failed},
        {"result \"0\"", Answer(u"\"0\"", u"\"3.0.0\"", u"0"), kAnswerNo, failed},
        {"current version", Answer(u"1", u"\"3.0.0\"", u"1"), kAnswerNo,
         u"status 当前软件为最新版本,欢迎使用Varnel软件..; goes on"},
        {"newer, optional, No", Answer(u"\"ok\"", u"\"3.0.1\"", u"\"0\""), kAnswerNo,
         offer(u"3.0.1") + u"status 欢迎使用Varnel软件..; goes on"},
        {"older counts as other", Answer(u"1", u"\"2.9.0\"", u"0"), kAnswerNo,
         offer(u"2.9.0") + u"status 欢迎使用Varnel软件..; goes on"},
        {"a trailing space counts", Answer(u"1", u"\"3.0.0 \"", u"0"), kAnswerNo,
         offer(u"3.0.0 ") + u"status 欢迎使用Varnel软件..; goes on"},
        {"a number as version", Answer(u"1", u"3", u"0"), kAnswerNo,
         offer(u"3") + u"status 欢迎使用Varnel软件..; goes on"},
        {"mandatory 1, No", Answer(u"1", u"\"3.1.0\"", u"1"), kAnswerNo,
         offer(u"3.1.0") + u"ended"},
        {"mandatory \"yes\", No", Answer(u"1", u"\"3.1.0\"", u"\"yes\""), kAnswerNo,
         offer(u"3.1.0") + u"ended"},
        {"mandatory \"0 \", No", Answer(u"1", u"\"3.1.0\"", u"\"0 \""), kAnswerNo,
         offer(u"3.1.0") + u"ended"},
        {"mandatory \"\", No", Answer(u"1", u"\"3.1.0\"", u"\"\""), kAnswerNo,
         offer(u"3.1.0") + u"ended"},
        {"optional, Yes", Answer(u"1", u"\"3.1.0\"", u"\"0\"", u"25"), kAnswerYes,
         offer(u"3.1.0") + page + u"25\" /2; ended"},
        {"mandatory, Yes", Answer(u"1", u"\"3.1.0\"", u"1", u"25"), kAnswerYes,
         offer(u"3.1.0") + page + u"25\" /2; ended"},
        {"a sid cannot leave the quoted address",
         Answer(u"1", u"\"3.1.0\"", u"0", uR"("1\" /select,C:\\x")"), kAnswerYes,
         offer(u"3.1.0") + page + u"1%22%20%2Fselect%2CC%3A%5Cx\" /2; ended"},
        {"a version and a sid at their limits",
         Answer(u"1", u"\"" + version64 + u"\"", u"0", u"\"" + sid256 + u"\""), kAnswerYes,
         offer(version64) + page + sid256 + u"\" /2; ended"},
        // Every failure of the exchange or of the answer takes the failed path.
        {"unreachable or timed out", u"", kAnswerNo, failed, 0, true},
        {"error page", u"<html><h1>500</h1></html>", kAnswerNo, failed, 500},
        {"empty body", u"", kAnswerNo, failed},
        {"not JSON", u"OK", kAnswerNo, failed},
        {"not an object", u"[\"0\"]", kAnswerNo, failed},
        {"no info", uR"({"result":1})", kAnswerNo, failed},
        {"no result", uR"({"info":{"version":"3.1","sid":"1","must":"1"}})", kAnswerNo, failed},
        {"null field", Answer(u"1", u"null", u"1"), kAnswerNo, failed},
        {"boolean field", Answer(u"true", u"\"3.1\"", u"1"), kAnswerNo, failed},
        {"script instead of JSON", u"(function(){return {result:1}})()", kAnswerNo, failed},
        {"version of 65 characters", Answer(u"1", u"\"" + std::u16string(65, u'9') + u"\"", u"0"),
         kAnswerNo, failed},
        {"version with a line break", Answer(u"1", u"\"3.1\\n警告\"", u"0"), kAnswerNo, failed},
        {"version with a NUL", Answer(u"1", u"\"3.1\\u0000\"", u"0"), kAnswerNo, failed},
        {"version with DEL", Answer(u"1", u"\"3.1\\u007f\"", u"0"), kAnswerNo, failed},
        {"version with a C1 control", Answer(u"1", u"\"3.1\\u0085\"", u"0"), kAnswerNo, failed},
        {"version with a right-to-left override", Answer(u"1", u"\"3.1\\u202e\"", u"0"), kAnswerNo,
         failed},
        {"version with a line separator", Answer(u"1", u"\"3.1\\u2028\"", u"0"), kAnswerNo, failed},
        {"sid of 257 characters",
         Answer(u"1", u"\"3.1\"", u"0", u"\"" + std::u16string(257, u'7') + u"\""), kAnswerNo,
         failed},
        {"sid with a tab", Answer(u"1", u"\"3.1\"", u"0", u"\"7\\t7\""), kAnswerNo, failed},
        {"up to date but a control in the sid", Answer(u"1", u"\"3.0.0\"", u"0", u"\"7\\u001b\""),
         kAnswerNo, failed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Start s;
        s.transport.answer = {row.status, row.body};
        s.transport.fail = row.transportFails;
        s.boxes.replies = {row.reply};
        EXPECT_EQ(s.Outcome(), row.outcome);
    }
}

TEST(VersionCheck, AnAnswerArrivingAfterTheWindowClosedIsIgnored) {
    for (const bool fails : {false, true}) {
        Start s;
        s.transport.answer = {200, Answer(u"1", u"\"3.1.0\"", u"1")};
        s.transport.fail = fails;
        s.transport.during = [&] { s.window.open = false; };
        EXPECT_EQ(s.Outcome(), u"nothing");
    }
}

TEST(IsPlainText, RefusesControlsAndOverlongTextAtEveryEdge) {
    struct Row {
        char16_t unit;
        bool plain;
    };
    const std::vector<Row> rows{
        {0x0000, false}, {0x001F, false}, {0x0020, true},  {0x007E, true},  {0x007F, false},
        {0x009F, false}, {0x00A0, true},  {0x061B, true},  {0x061C, false}, {0x061D, true},
        {0x200D, true},  {0x200E, false}, {0x200F, false}, {0x2010, true},  {0x2027, true},
        {0x2028, false}, {0x2029, false}, {0x202A, false}, {0x202E, false}, {0x202F, true},
        {0x2065, true},  {0x2066, false}, {0x2069, false}, {0x206A, true},  {0x4E2D, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.unit));
        EXPECT_EQ(IsPlainText(u"3." + std::u16string(1, row.unit), 3), row.plain);
    }
    EXPECT_TRUE(IsPlainText(u"abc", 3));
    EXPECT_FALSE(IsPlainText(u"abcd", 3));
    EXPECT_TRUE(IsPlainText(u"", 0));
}

TEST(PercentEncode, KeepsUnreservedBytesAndEscapesEveryOtherUtf8Byte) {
    EXPECT_EQ(PercentEncode(u"AZaz09-._~"), u"AZaz09-._~");
    EXPECT_EQ(PercentEncode(u"\"&%+ /?#\t\r\n"), u"%22%26%25%2B%20%2F%3F%23%09%0D%0A");
    EXPECT_EQ(PercentEncode(u"中"), u"%E4%B8%AD");
    EXPECT_EQ(PercentEncode(std::u16string(1, char16_t{0xD800})), u"%EF%BF%BD");
    EXPECT_EQ(PercentEncode(u""), u"");
}

// Timer1 keeps ticking while a message box of the check is open.
class TickingBoxes : public FakeMessageBoxes {
public:
    int Show(const std::u16string& text, const std::u16string& title, unsigned style) override {
        tick();
        return FakeMessageBoxes::Show(text, title, style);
    }
    std::function<void()> tick;
};

TEST(VersionCheck, TicksDuringTheCheckOrAfterItStartNothing) {
    Start s;
    TickingBoxes boxes;
    VersionCheck check{s.poster,
                       boxes,
                       s.log,
                       s.starter,
                       s.exit,
                       s.window,
                       [&] { s.finalOrder.push_back("enable"); },
                       [] {},
                       {u"https://a", u"https://b"}};
    boxes.tick = [&] { check.Timer1_Timer(); };
    s.transport.answer = {200, Answer(u"1", u"\"3.1.0\"", u"0")};
    check.Timer1_Timer();
    check.Timer1_Timer();
    EXPECT_EQ(s.transport.requests.size(), 1u);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(s.finalOrder, std::vector<std::string>{"enable"});
}

TEST(VersionCheck, AFailingProgramStartStillLeavesAUsableToolAndReportsTheError) {
    Start s;
    s.transport.answer = {200, Answer(u"1", u"\"3.1.0\"", u"1")};
    s.boxes.replies = {kAnswerYes};
    s.starter.failing = {u"explorer.exe \"https://www.site.test/index.php/Works/detail/sid/77\""};
    EXPECT_THROW(s.check.Timer1_Timer(), PlatformError);
    EXPECT_EQ(s.exit.ends, 0);
    EXPECT_EQ(s.finalOrder, (std::vector<std::string>{"enable", "stop"}));
}

}  // namespace
}  // namespace varnel

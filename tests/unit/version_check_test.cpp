#include "update/version_check.h"

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"
#include "fakes/fake_update_services.h"
#include "fakes/fake_window.h"

namespace varnel {
namespace {

using namespace varnel::testing;

constexpr char16_t kService[] = u"https://localhost:8443";
constexpr char16_t kSite[] = u"https://www.site.test";
constexpr char16_t kInitialStatus[] = u"正在检测是否有最新版本..";
constexpr char16_t kFailedText[] = u"检测失败,请先使用当前版本";

std::u16string Answer(const std::u16string& result, const std::u16string& version,
                      const std::u16string& must, const std::u16string& sid = u"\"77\"") {
    return u"{\"result\":" + result + u",\"info\":{\"version\":" + version + u",\"sid\":" + sid +
           u",\"must\":" + must + u"}}";
}

// One program start: the window's controls and services as fakes, and the check wired to them.
struct Start {
    Start() { status.SetPanelText(2, kInitialStatus); }

    // Runs the first tick; returns whether the process ended.
    bool Tick() {
        try {
            check.Timer1_Timer();
        } catch (const ProcessEnded&) {
            return true;
        }
        return false;
    }

    void Serve(const std::u16string& body, int code = 200) { transport.answer = {code, body}; }

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
    int enabled = 0;
    int stopped = 0;
    std::vector<std::string> finalOrder;
    VersionCheck check{poster,
                       boxes,
                       log,
                       starter,
                       exit,
                       window,
                       [this] {
                           ++enabled;
                           finalOrder.push_back("enable");
                       },
                       [this] {
                           ++stopped;
                           finalOrder.push_back("stop");
                       },
                       {kService, kSite}};
};

TEST(VersionCheck, PostsTheSoftwareIdentifierToTheServicePath) {
    Start s;
    s.Serve(Answer(u"1", u"\"3.0.0\"", u"0"));
    s.Tick();
    ASSERT_EQ(s.transport.requests.size(), 1u);
    EXPECT_EQ(s.transport.requests[0].url, u"https://localhost:8443/index.php/Index/soft_version");
    EXPECT_EQ(s.transport.requests[0].contentType, u"application/x-www-form-urlencoded");
    EXPECT_EQ(s.transport.requests[0].body, "sn=kesto");
}

TEST(VersionCheck, ResultZeroAsNumberOrTextReportsFailureAndGoesOn) {
    for (const char16_t* result : {u"0", u"\"0\""}) {
        Start s;
        s.Serve(Answer(result, u"\"3.0.0\"", u"0"));
        EXPECT_FALSE(s.Tick());
        ASSERT_EQ(s.boxes.shown.size(), 1u);
        EXPECT_EQ(s.boxes.shown[0].text, kFailedText);
        EXPECT_EQ(s.boxes.shown[0].title, u"提示");
        EXPECT_EQ(s.boxes.shown[0].style, 64u);
        EXPECT_EQ(s.status.Panel2(), kInitialStatus);
        EXPECT_EQ(s.finalOrder, (std::vector<std::string>{"enable", "stop"}));
    }
}

TEST(VersionCheck, CurrentVersionGreetsOnTheStatusLine) {
    Start s;
    s.Serve(Answer(u"1", u"\"3.0.0\"", u"1"));
    EXPECT_FALSE(s.Tick());
    EXPECT_TRUE(s.boxes.shown.empty());
    EXPECT_EQ(s.status.Panel2(), u"当前软件为最新版本,欢迎使用Varnel软件..");
    EXPECT_TRUE(s.list.lines.empty());
    EXPECT_EQ(s.finalOrder, (std::vector<std::string>{"enable", "stop"}));
}

TEST(VersionCheck, AnyOtherVersionTextAsksToUpdate) {
    for (const char16_t* version : {u"\"3.0.1\"", u"\"2.9.0\"", u"\"3.0.0 \"", u"\"3.0\"", u"3"}) {
        Start s;
        s.Serve(Answer(u"\"ok\"", version, u"\"0\""));
        s.Tick();
        ASSERT_EQ(s.boxes.shown.size(), 1u);
        const std::u16string shownVersion =
            version[0] == u'"' ? std::u16string(version + 1, std::u16string(version).size() - 2)
                               : std::u16string(version);
        EXPECT_EQ(s.boxes.shown[0].text, u"发现最新版本" + shownVersion + u"，是否现在更新?");
        EXPECT_EQ(s.boxes.shown[0].style, 68u);
        EXPECT_EQ(s.boxes.shown[0].title, u"提示");
    }
}

TEST(VersionCheck, DecliningAnOptionalUpdateWelcomesAndGoesOn) {
    Start s;
    s.Serve(Answer(u"1", u"\"3.1.0\"", u"\"0\""));
    s.boxes.replies = {kAnswerNo};
    EXPECT_FALSE(s.Tick());
    EXPECT_EQ(s.status.Panel2(), u"欢迎使用Varnel软件..");
    EXPECT_TRUE(s.starter.started.empty());
    EXPECT_EQ(s.finalOrder, (std::vector<std::string>{"enable", "stop"}));
}

TEST(VersionCheck, DecliningAMandatoryUpdateEndsTheProcessSilently) {
    for (const char16_t* must : {u"1", u"\"1\"", u"\"yes\"", u"\"0 \"", u"\"\""}) {
        Start s;
        s.Serve(Answer(u"1", u"\"3.1.0\"", must));
        s.boxes.replies = {kAnswerNo};
        EXPECT_TRUE(s.Tick());
        EXPECT_EQ(s.boxes.shown.size(), 1u);  // the question only
        EXPECT_EQ(s.status.Panel2(), kInitialStatus);
        EXPECT_TRUE(s.starter.started.empty());
        EXPECT_EQ(s.enabled + s.stopped, 0);
    }
}

TEST(VersionCheck, AcceptingOpensTheQuotedDownloadPageAndEndsEvenWhenOptional) {
    for (const char16_t* must : {u"\"0\"", u"1"}) {
        Start s;
        s.Serve(Answer(u"1", u"\"3.1.0\"", must, u"25"));
        s.boxes.replies = {kAnswerYes};
        EXPECT_TRUE(s.Tick());
        ASSERT_EQ(s.starter.started.size(), 1u);
        EXPECT_EQ(s.starter.started[0].commandLine,
                  u"explorer.exe \"https://www.site.test/index.php/Works/detail/sid/25\"");
        EXPECT_EQ(s.starter.started[0].showStyle, kShowMinimized);
        EXPECT_EQ(s.starter.programs, std::vector<SystemProgram>{SystemProgram::Shell});
        EXPECT_EQ(s.exit.ends, 1);
        EXPECT_EQ(s.enabled + s.stopped, 0);
    }
}

TEST(VersionCheck, SidCannotBreakOutOfTheQuotedAddress) {
    Start s;
    s.Serve(Answer(u"1", u"\"3.1.0\"", u"0", uR"("1\" /select,C:\\x")"));
    s.boxes.replies = {kAnswerYes};
    s.Tick();
    ASSERT_EQ(s.starter.started.size(), 1u);
    EXPECT_EQ(s.starter.started[0].commandLine,
              u"explorer.exe \"https://www.site.test/index.php/Works/detail/sid/"
              u"1%22%20%2Fselect%2CC%3A%5Cx\"");
}

TEST(VersionCheck, AnswersAtTheirLimitsAreShownAndUsedAsTheyAre) {
    const std::u16string version = u"3.1." + std::u16string(60, u'9');  // 64 characters
    const std::u16string sid(256, u'7');
    Start s;
    s.Serve(Answer(u"1", u"\"" + version + u"\"", u"0", u"\"" + sid + u"\""));
    s.boxes.replies = {kAnswerYes};
    EXPECT_TRUE(s.Tick());
    ASSERT_EQ(s.boxes.shown.size(), 1u);
    EXPECT_EQ(s.boxes.shown[0].text, u"发现最新版本" + version + u"，是否现在更新?");
    ASSERT_EQ(s.starter.started.size(), 1u);
    EXPECT_EQ(s.starter.started[0].commandLine,
              u"explorer.exe \"https://www.site.test/index.php/Works/detail/sid/" + sid + u"\"");
}

TEST(VersionCheck, AnAnswerArrivingAfterTheWindowClosedIsIgnored) {
    for (const bool fails : {false, true}) {
        Start s;
        s.Serve(Answer(u"1", u"\"3.1.0\"", u"1"));
        s.transport.fail = fails;
        s.transport.during = [&] { s.window.open = false; };
        EXPECT_FALSE(s.Tick());
        EXPECT_TRUE(s.boxes.shown.empty());
        EXPECT_TRUE(s.starter.started.empty());
        EXPECT_EQ(s.status.Panel2(), kInitialStatus);
    }
}

TEST(PercentEncode, KeepsUnreservedBytesAndEscapesEveryOtherUtf8Byte) {
    EXPECT_EQ(PercentEncode(u"AZaz09-._~"), u"AZaz09-._~");
    EXPECT_EQ(PercentEncode(u"\"&%+ /?#\t\r\n"), u"%22%26%25%2B%20%2F%3F%23%09%0D%0A");
    EXPECT_EQ(PercentEncode(u"中"), u"%E4%B8%AD");
    EXPECT_EQ(PercentEncode(std::u16string(1, char16_t{0xD800})), u"%EF%BF%BD");
    EXPECT_EQ(PercentEncode(u""), u"");
}

TEST(VersionCheck, EveryFailureOfTheExchangeOrAnswerTakesTheFailedPath) {
    struct Case {
        const char* what;
        bool transportFails;
        int status;
        std::u16string body;
    };
    const std::vector<Case> cases = {
        {"unreachable or timed out", true, 0, u""},
        {"error page", false, 500, u"<html><h1>500</h1></html>"},
        {"empty body", false, 200, u""},
        {"not JSON", false, 200, u"OK"},
        {"not an object", false, 200, u"[\"0\"]"},
        {"no info", false, 200, uR"({"result":1})"},
        {"no result", false, 200, uR"({"info":{"version":"3.1","sid":"1","must":"1"}})"},
        {"null field", false, 200, Answer(u"1", u"null", u"1")},
        {"boolean field", false, 200, Answer(u"true", u"\"3.1\"", u"1")},
        {"script instead of JSON", false, 200, u"(function(){return {result:1}})()"},
        {"version of 65 characters", false, 200,
         Answer(u"1", u"\"" + std::u16string(65, u'9') + u"\"", u"0")},
        {"version with a line break", false, 200, Answer(u"1", u"\"3.1\\n警告\"", u"0")},
        {"version with a NUL", false, 200, Answer(u"1", u"\"3.1\\u0000\"", u"0")},
        {"version with DEL", false, 200, Answer(u"1", u"\"3.1\\u007f\"", u"0")},
        {"version with a C1 control", false, 200, Answer(u"1", u"\"3.1\\u0085\"", u"0")},
        {"version with a right-to-left override", false, 200,
         Answer(u"1", u"\"3.1\\u202e\"", u"0")},
        {"version with a line separator", false, 200, Answer(u"1", u"\"3.1\\u2028\"", u"0")},
        {"sid of 257 characters", false, 200,
         Answer(u"1", u"\"3.1\"", u"0", u"\"" + std::u16string(257, u'7') + u"\"")},
        {"sid with a tab", false, 200, Answer(u"1", u"\"3.1\"", u"0", u"\"7\\t7\"")},
        {"up to date but a control in the sid", false, 200,
         Answer(u"1", u"\"3.0.0\"", u"0", u"\"7\\u001b\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Start s;
        s.transport.fail = c.transportFails;
        s.Serve(c.body, c.status);
        EXPECT_FALSE(s.Tick());
        ASSERT_EQ(s.boxes.shown.size(), 1u);
        EXPECT_EQ(s.boxes.shown[0].text, kFailedText);
        EXPECT_EQ(s.boxes.shown[0].style, 64u);
        EXPECT_TRUE(s.starter.started.empty());
        EXPECT_EQ(s.finalOrder, (std::vector<std::string>{"enable", "stop"}));
    }
}

// Timer1 keeps ticking while a message box of the check is open.
class TickingBoxes : public MessageBoxes {
public:
    explicit TickingBoxes(std::function<void()> tick) : tick_(std::move(tick)) {}
    int Show(const std::u16string&, const std::u16string&, unsigned) override {
        ++shown;
        tick_();
        return kAnswerNo;
    }
    int shown = 0;

private:
    std::function<void()> tick_;
};

TEST(VersionCheckReentry, TicksDuringTheCheckOrAfterItStartNothing) {
    FakeTransport transport;
    transport.answer = {200, Answer(u"1", u"\"3.1.0\"", u"0")};
    TableCodePage codePage{{}};
    FormPoster poster{transport, codePage};
    FakeLogList list;
    FakeStatusBar status;
    FakeTimeOfDay clock;
    ActivityLog log{list, status, clock};
    FakeProgramStarter starter;
    FakeProcessExit exit;
    FakeWindowPresence window;
    int enabled = 0;
    VersionCheck* self = nullptr;
    TickingBoxes boxes([&] { self->Timer1_Timer(); });
    VersionCheck check(
        poster, boxes, log, starter, exit, window, [&] { ++enabled; }, [] {},
        {u"https://a", u"https://b"});
    self = &check;

    check.Timer1_Timer();
    check.Timer1_Timer();
    EXPECT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(boxes.shown, 1);
    EXPECT_EQ(enabled, 1);
}

TEST(VersionCheck, AFailingProgramStartStillLeavesAUsableToolAndReportsTheError) {
    Start s;
    s.Serve(Answer(u"1", u"\"3.1.0\"", u"1"));
    s.boxes.replies = {kAnswerYes};
    s.starter.failing = {u"explorer.exe \"https://www.site.test/index.php/Works/detail/sid/77\""};
    EXPECT_THROW(s.check.Timer1_Timer(), PlatformError);
    EXPECT_EQ(s.exit.ends, 0);
    EXPECT_EQ(s.finalOrder, (std::vector<std::string>{"enable", "stop"}));
}

}  // namespace
}  // namespace varnel

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"
#include "fakes/fake_update_services.h"
#include "text/utf8.h"
#include "update/form_encoder.h"
#include "update/post_form.h"
#include "update/version_answer.h"
#include "update/version_check.h"

namespace varnel {
namespace {

using namespace testing;

const std::string kReplaced = "\xEF\xBF\xBD";  // U+FFFD as UTF-8

// The conversions never fail: each lone surrogate, and each malformed UTF-8 sequence, becomes
// U+FFFD, while the well-formed text around it stays.
TEST(Utf8, ReplacesEachLoneSurrogateAndEachMalformedSequence) {
    const struct {
        std::u16string text;
        std::string bytes;
    } toUtf8[] = {
        {{u'x', 0xD7FF, 0xE000}, "x\xED\x9F\xBF\xEE\x80\x80"},
        {{0xD800, 0xDC00, 0xDBFF, 0xDFFF}, "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {{u'x', 0xD800}, "x" + kReplaced},
        {{0xDBFF, u'x', 0xDC00, 0xDFFF}, kReplaced + "x" + kReplaced + kReplaced},
        {{0xDE00, 0xD83D}, kReplaced + kReplaced},
        {{0xD83D, 0xD83D, 0xDE00}, kReplaced + "\xF0\x9F\x98\x80"},
    };
    for (const auto& row : toUtf8)
        EXPECT_EQ(ToUtf8(row.text), row.bytes);
    EXPECT_EQ(FromUtf8("x\x80\xE4\xB8\xAD\xE4\xB8"), (std::u16string{u'x', 0xFFFD, u'中', 0xFFFD}));
}

// Real GBK codes for 中 and 文, the code of "?" for Hangul (not in GBK), and codes chosen to reach
// the edges of the arithmetic: the signed 16-bit code (中 is 0xD6D0, 乙 0xFF01, 戊 0xFEFF),
// the high part divided by 255, and hex digits without leading zeros.
const TableCodePage kCodes =
    std::map<char16_t, int16_t>{{u'中', -0x2930}, {u'文', -0x313C}, {u'가', '?'},   {u'ÿ', 0xFF},
                                {u'Ā', 0x100},    {u'甲', -0x7EFB}, {u'乙', -0xFF}, {u'丙', -0xBF},
                                {u'丁', -0xFE},   {u'戊', -0x101},  {u'己', 0x7FFF}};

TEST(EncodeFormText, EscapesTheBytesOfEveryCodeFrom255UpAndCopiesEveryOtherUnit) {
    std::u16string ascii;
    for (char16_t c = 0; c < 128; ++c)
        ascii.push_back(c);
    const struct {
        std::u16string text, encoded;
    } rows[] = {
        {u"", u""},
        {ascii, ascii},
        {u"sn=中文&%", u"sn=%D6%D0%CE%C4&%"},
        {u"é가丙丁", u"é가丙丁"},  // codes up to 254, also as absolute values, are copied
        {u"xÿyĀ", u"x%0%FFy%1%0"},
        {u"甲乙戊己", u"%81%5%100%1%FE%FF%7F%FF"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(EncodeFormText(row.text, kCodes), row.encoded);
}

TEST(PostForm, SendsTheEncodedFormAsUtf8AndReturnsTheBodyWhateverTheStatus) {
    FakeTransport transport;
    transport.answer = {500, u"<html>内部错误</html>"};
    EXPECT_EQ(FormPoster(transport, kCodes).PostForm(u"https://h/x", u"sn=中文&k=가 c"),
              u"<html>内部错误</html>");
    EXPECT_EQ(transport.requests.at(0).contentType, u"application/x-www-form-urlencoded");
    EXPECT_EQ(transport.requests.at(0).body, "sn=%D6%D0%CE%C4&k=\xEA\xB0\x80 c");
}

// The answer as "result|version|sid|must", or "none".
std::u16string Read(const std::u16string& text) {
    const auto a = ParseVersionAnswer(text);
    return a ? a->result + u"|" + a->version + u"|" + a->sid + u"|" + a->must : u"none";
}

std::u16string Answer(const std::u16string& result, const std::u16string& version,
                      const std::u16string& must, const std::u16string& sid = u"\"77\"") {
    return u"{\"result\":" + result + u",\"info\":{\"version\":" + version + u",\"sid\":" + sid +
           u",\"must\":" + must + u"}}";
}

TEST(ParseVersionAnswer, TakesStringsAsTheyAreAndWholeNumbersAsDigitsAndAnythingElseAsNone) {
    const struct {
        std::u16string text, read;
    } rows[] = {
        {uR"( {"result":"0","info":{"version":"3.0.0 ","sid":18446744073709551615,"must":-1}} )",
         u"0|3.0.0 |18446744073709551615|-1"},
        {uR"({"result":0,"info":{"version":3,"sid":7,"must":-9223372036854775808}})",
         u"0|3|7|-9223372036854775808"},
        {uR"({"result":"成功","info":{"version":"3.1\u00e9","sid":"\ud83d\ude00","must":"0"}})",
         u"成功|3.1é|😀|0"},
        // Extra fields are ignored; the last of duplicate names counts.
        {uR"({"x":[1,{}],"result":0,"result":2,"info":{"version":"1","sid":"s","must":"1","y":0}})",
         u"2|1|s|1"},
        {Answer(u"1", u"\"3.0.0\"", u"null"), u"none"},
        {Answer(u"1", u"\"3.0.0\"", u"true"), u"none"},
        {Answer(u"1", u"\"3.0.0\"", u"1.0"), u"none"},
        {Answer(u"1", u"\"3.0.0\"", u"99999999999999999999999"), u"none"},
        {uR"({"info":{"version":"3.0.0","sid":"1","must":"0"}})", u"none"},
        {uR"({"result":1,"info":{"sid":"1","must":"0"}})", u"none"},
        {uR"({"result":1,"info":{"version":"3.0.0","must":"0"}})", u"none"},
        {uR"({"result":1,"info":{"version":"3.0.0","sid":"1"}})", u"none"},
        {uR"({"result":"0","info":"none"})", u"none"},
        {uR"({"result":1})", u"none"},
        {u"<html><body>500 Internal Server Error</body></html>", u"none"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Read(row.text), row.read) << std::string(row.text.begin(), row.text.end());
}

// One program start: the window's controls and services as journaling fakes, and the check.
struct Start : RepairRig {
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
        EXPECT_EQ(transport.requests.at(0).url, u"https://v.test/index.php/Index/soft_version");
        EXPECT_EQ(transport.requests.at(0).body, "sn=kesto");
        std::u16string outcome;
        for (const std::u16string& entry : journal)
            outcome += (outcome.empty() ? u"" : u"; ") + entry;
        return outcome;
    }

    FakeTransport transport;
    TableCodePage codePage{{}};
    FormPoster poster{transport, codePage};
    FakeProcessExit exit;
    FakeWindowPresence window;
    std::function<void()> buttonsOn = [this] { journal.push_back(u"buttons on"); };
    std::function<void()> timerOff = [this] { journal.push_back(u"timer off"); };
    VersionCheck check{poster,    boxes,    log,
                       starter,   exit,     window,
                       buttonsOn, timerOff, {u"https://v.test", u"https://www.site.test"}};
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
        {Answer(u"\"0\"", u"\"3.0.0\"", u"0"), kAnswerNo, failed},
        {Answer(u"1", u"\"3.0.0\"", u"1"), kAnswerNo,
         u"status 当前软件为最新版本,欢迎使用Varnel软件..; buttons on; timer off"},
        {Answer(u"\"ok\"", u"\"3.0.1\"", u"\"0\""), kAnswerNo, offer(u"3.0.1") + welcome},
        {Answer(u"1", u"\"3.0.0 \"", u"0"), kAnswerNo, offer(u"3.0.0 ") + welcome},
        {Answer(u"1", u"\"3.1.0\"", u"1"), kAnswerNo, offer(u"3.1.0") + u"ended"},
        {Answer(u"1", u"\"3.1.0\"", u"\"0 \""), kAnswerNo, offer(u"3.1.0") + u"ended"},
        {Answer(u"1", u"\"3.1.0\"", u"\"0\"", u"25"), kAnswerYes,
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
        s.transport.during = [&] {
            s.check.Timer1_Timer();  // Timer1 ticks on while the window waits for the answer
            s.window.open = !row.closedMeanwhile;
        };
        s.boxes.replies = {row.reply};
        s.starter.failing = {page.substr(6) + u"666\""};
        EXPECT_EQ(s.Outcome(), row.outcome);
        s.check.Timer1_Timer();
        EXPECT_EQ(s.transport.requests.size(), 1u) << "one check per program start";
    }
}

TEST(IsPlainText, RefusesControlsAndOverlongTextAtEveryEdge) {
    for (const char16_t unit : std::u16string{0x20, 0x7E, 0xA0, 0x61B, 0x61D, 0x200D, 0x2010,
                                              0x2027, 0x202F, 0x2065, 0x206A, 0x4E2D})
        EXPECT_TRUE(IsPlainText(u"3." + std::u16string(1, unit), 3)) << int{unit};
    for (const char16_t unit : std::u16string{0, 0x1F, 0x7F, 0x9F, 0x61C, 0x200E, 0x200F, 0x2028,
                                              0x2029, 0x202A, 0x202E, 0x2066, 0x2069})
        EXPECT_FALSE(IsPlainText(u"3." + std::u16string(1, unit), 3)) << int{unit};
    EXPECT_FALSE(IsPlainText(u"abcd", 3));
    EXPECT_TRUE(IsPlainText(u"", 0));
}

TEST(PercentEncode, KeepsUnreservedBytesAndEscapesEveryOtherUtf8Byte) {
    EXPECT_EQ(PercentEncode(u"AZaz09-._~"), u"AZaz09-._~");
    EXPECT_EQ(PercentEncode(u"@[`{/:\"&%+ \t中"), u"%40%5B%60%7B%2F%3A%22%26%25%2B%20%09%E4%B8%AD");
}

}  // namespace
}  // namespace varnel

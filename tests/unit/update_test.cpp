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

// The form goes as UTF-8 after its encoding; the body is read as the service's answer whatever
// the status, and every failure of the exchange is no answer.
TEST(PostForm, SendsTheEncodedFormAndReadsTheBodyWhateverTheStatusAndAFailureAsNone) {
    FakeTransport transport;
    const std::string body = FormBody(u"sn=中文&k=가 c", kCodes);
    EXPECT_EQ(body, "sn=%D6%D0%CE%C4&k=\xEA\xB0\x80 c");
    transport.answer = {500, uR"({"result":1,"info":{"version":"3","sid":"1","must":"0"}})"};
    EXPECT_EQ(PostForm(transport, u"https://h/x", body)->version, u"3");
    EXPECT_EQ(transport.requests.at(0).url, u"https://h/x");
    EXPECT_EQ(transport.requests.at(0).contentType, u"application/x-www-form-urlencoded");
    EXPECT_EQ(transport.requests.at(0).body, body);
    transport.fail = true;
    EXPECT_FALSE(PostForm(transport, u"https://h/x", body));
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

constexpr char16_t kAddress[] = u"https://v.test/index.php/Index/soft_version";

// One program start: the window's controls and services as journaling fakes, and the check.
struct Start : RepairRig {
    // Runs the first tick, then `then`, and tells what the user met, in order, ending with
    // whether the process ended or a platform failure reached the window.
    std::u16string Outcome(const std::function<void()>& then) {
        try {
            check.Timer1_Timer();
            check.Timer1_Timer();  // Timer1 ticks on while the exchange runs
            then();
        } catch (const ProcessEnded&) {
            journal.push_back(u"ended");
        } catch (const PlatformError&) {
            journal.push_back(u"failure");
        }
        using Started = std::pair<std::u16string, std::string>;
        EXPECT_EQ(exchange.started,
                  std::vector<Started>(exchange.fail ? 0 : 1, {kAddress, "sn=kesto"}));
        std::u16string outcome;
        for (const std::u16string& entry : journal)
            outcome += (outcome.empty() ? u"" : u"; ") + entry;
        return outcome;
    }

    FakeVersionExchange exchange;
    TableCodePage codePage{{}};
    FakeProcessExit exit;
    FakeWindowPresence window;
    std::function<void()> buttonsOn = [this] { journal.push_back(u"buttons on"); };
    std::function<void()> timerOff = [this] { journal.push_back(u"timer off"); };
    VersionCheck check{
        exchange, codePage, boxes,     log,      starter,
        exit,     window,   buttonsOn, timerOff, {u"https://v.test", u"https://www.site.test"}};
};

TEST(VersionCheck, EachResultLeadsToItsOutcomeAndOnlyOneInTimeCounts) {
    const std::u16string kFailed = u"box 64 检测失败,请先使用当前版本; buttons on; timer off";
    const std::u16string upToDate =
        u"status 当前软件为最新版本,欢迎使用Varnel软件..; buttons on; timer off";
    const std::u16string welcome = u"status 欢迎使用Varnel软件..; buttons on; timer off";
    const auto offer = [](const std::u16string& version) {
        return u"box 68 发现最新版本" + version + u"，是否现在更新?; ";
    };
    const std::u16string page =
        u"shell explorer.exe \"https://www.site.test/index.php/Works/detail/sid/";
    const std::u16string version64 = u"3.1." + std::u16string(60, u'9');
    const std::u16string sid256(256, u'7');
    // What reaches the check after the first tick, in order: A the answer (none for an empty
    // body: the exchange failed), L the time limit, C the window's close; S: it cannot start.
    struct Row {
        std::u16string body;
        int reply;  // to the update question
        std::u16string outcome;
        std::string events = "A";
        int abandoned = 0;  // exchanges given up
    };
    const Row rows[] = {
        {Answer(u"\"0\"", u"\"3.0.0\"", u"0"), kAnswerNo, kFailed},
        {Answer(u"1", u"\"3.0.0\"", u"1"), kAnswerNo, upToDate},
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
        {u"", kAnswerNo, kFailed},
        {u"", kAnswerNo, kFailed, "S"},
        {u"<html><h1>500</h1></html>", kAnswerNo, kFailed},
        {Answer(u"1", u"\"" + std::u16string(65, u'9') + u"\"", u"0"), kAnswerNo, kFailed},
        {Answer(u"1", u"\"3.1\\u202e\"", u"0"), kAnswerNo, kFailed},
        {Answer(u"1", u"\"3.1\\u200b\"", u"0"), kAnswerNo, kFailed},
        {Answer(u"1", u"\"3.1\"", u"0", u"\"" + std::u16string(257, u'7') + u"\""), kAnswerNo,
         kFailed},
        {Answer(u"1", u"\"3.0.0\"", u"0", u"\"7\\t7\""), kAnswerNo, kFailed},
        // One result in time counts; a late one, or one for a closed window, is ignored.
        {Answer(u"1", u"\"3.1.0\"", u"1"), kAnswerYes, kFailed, "LA", 1},
        {Answer(u"1", u"\"3.0.0\"", u"1"), kAnswerYes, upToDate, "ALA"},
        {Answer(u"1", u"\"3.1.0\"", u"1"), kAnswerYes, u"", "CAL"},
        {u"", kAnswerYes, u"", "CL", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.events + " " + std::string(row.body.begin(), row.body.end()));
        Start s;
        s.boxes.replies = {row.reply};
        s.starter.failing = {page.substr(6) + u"666\""};
        s.exchange.fail = row.events == "S";
        EXPECT_EQ(s.Outcome([&] {
            for (const char event : row.events) {
                if (event == 'A')
                    s.check.OnAnswer(ParseVersionAnswer(row.body));
                if (event == 'L')
                    s.check.OnTimeLimit();
                if (event == 'C')
                    s.window.open = false;
            }
        }),
                  row.outcome);
        EXPECT_EQ(s.exchange.abandoned, row.abandoned);
    }
}

TEST(IsPlainText, RefusesControlsFormatCharactersAndOverlongTextAtEveryEdge) {
    // The neighbours of every refused range, a tag's lead surrogate alone, non-tag pairs.
    EXPECT_TRUE(
        IsPlainText(u" ~\u00A0\u00AC\u00AE\u05FF\u0606\u061B\u061D\u06DC\u06DE\u070E\u0710"
                    u"\u180D\u180F\u200A\u2010\u2027\u202F\u205F\u2065\u2070\uFEFE\uFF00"
                    u"\uFFF8\uFFFC\uFFFD中\U000E0080\U0001F600" +
                        std::u16string(1, 0xDB40),
                    99));
    for (const char16_t unit :
         u"\u001F\u007F\u009F\u00AD\u0600\u0605\u061C\u06DD\u070F\u08E2"
         u"\u180E\u200B\u200D\u200F\u2028\u2029\u202A\u202E\u2060\u2064"
         u"\u2066\u2069\u206F\uFEFF\uFFF9\uFFFB")  // and the final NUL
        EXPECT_FALSE(IsPlainText(u"3." + std::u16string(1, unit), 3)) << int{unit};
    for (const std::u16string tag : {u"\U000E0001", u"\U000E0020", u"\U000E007F"})
        EXPECT_FALSE(IsPlainText(tag, 3));
    EXPECT_FALSE(IsPlainText(u"abcd", 3));
    EXPECT_TRUE(IsPlainText(u"", 0));
}

TEST(PercentEncode, KeepsUnreservedBytesAndEscapesEveryOtherUtf8Byte) {
    EXPECT_EQ(PercentEncode(u"AZaz09-._~"), u"AZaz09-._~");
    EXPECT_EQ(PercentEncode(u"@[`{/:\"&%+ \t中"), u"%40%5B%60%7B%2F%3A%22%26%25%2B%20%09%E4%B8%AD");
}

}  // namespace
}  // namespace varnel

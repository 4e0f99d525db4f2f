#include "update/version_answer.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

constexpr char16_t kFull[] = uR"({"result":1,"info":{"version":"3.1.0","sid":"42","must":"0"}})";

TEST(ParseVersionAnswer, ReadsTheFourValuesAsText) {
    const auto answer = ParseVersionAnswer(kFull);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->result, u"1");
    EXPECT_EQ(answer->version, u"3.1.0");
    EXPECT_EQ(answer->sid, u"42");
    EXPECT_EQ(answer->must, u"0");
}

TEST(ParseVersionAnswer, StringsAreTakenAsTheyAreAndWholeNumbersAsDecimalDigits) {
    const auto answer = ParseVersionAnswer(
        uR"( {"result":"0","info":{"version":"3.0.0 ","sid":18446744073709551615,"must":-1}} )");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->result, u"0");
    EXPECT_EQ(answer->version, u"3.0.0 ");  // nothing trimmed
    EXPECT_EQ(answer->sid, u"18446744073709551615");
    EXPECT_EQ(answer->must, u"-1");

    const auto numbers =
        ParseVersionAnswer(uR"({"result":0,"info":{"version":3,"sid":7,"must":0}})");
    ASSERT_TRUE(numbers);
    EXPECT_EQ(numbers->result, u"0");
    EXPECT_EQ(numbers->version, u"3");
    EXPECT_EQ(numbers->must, u"0");
}

TEST(ParseVersionAnswer, NonAsciiAndEscapedStringsComeBackAsUtf16) {
    const auto answer = ParseVersionAnswer(
        uR"({"result":"成功","info":{"version":"3.1\u00e9","sid":"\ud83d\ude00","must":"0"}})");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->result, u"成功");
    EXPECT_EQ(answer->version, u"3.1é");
    EXPECT_EQ(answer->sid, u"😀");
}

TEST(ParseVersionAnswer, ExtraFieldsAreIgnoredAndTheLastOfDuplicateNamesCounts) {
    const auto answer = ParseVersionAnswer(
        uR"({"x":[1,{}],"result":0,"result":2,"info":{"version":"1","sid":"s","must":"1","y":null}})");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->result, u"2");
}

// The text form chosen for kinds other than strings and whole numbers: none. Such a value makes
// the answer malformed, like null, so the check takes its failed path.
TEST(ParseVersionAnswer, ValuesOfOtherKindsHaveNoTextForm) {
    for (const char16_t* value : {u"null", u"true", u"false", u"1.0", u"1.5", u"1e3", u"[]", u"{}",
                                  u"[\"0\"]", u"99999999999999999999999"}) {
        SCOPED_TRACE(std::string(value, value + std::char_traits<char16_t>::length(value)));
        const std::u16string asResult =
            u"{\"result\":" + std::u16string(value) +
            u",\"info\":{\"version\":\"3.0.0\",\"sid\":\"1\",\"must\":\"0\"}}";
        EXPECT_FALSE(ParseVersionAnswer(asResult));
        const std::u16string asMust =
            u"{\"result\":1,\"info\":{\"version\":\"3.0.0\",\"sid\":\"1\",\"must\":" +
            std::u16string(value) + u"}}";
        EXPECT_FALSE(ParseVersionAnswer(asMust));
    }
}

TEST(ParseVersionAnswer, MalformedAnswersGiveNoAnswer) {
    for (const char16_t* text : {
             u"",
             u"   ",
             u"<html><body>500 Internal Server Error</body></html>",
             u"[1,2]",
             u"\"text\"",
             u"1",
             u"null",
             uR"({"result":1})",
             uR"({"info":{"version":"3.0.0","sid":"1","must":"0"}})",
             uR"({"result":"0","info":"none"})",
             uR"({"result":"0","info":null})",
             uR"({"result":1,"info":{"sid":"1","must":"0"}})",
             uR"({"result":1,"info":{"version":"3.0.0","must":"0"}})",
             uR"({"result":1,"info":{"version":"3.0.0","sid":"1"}})",
             uR"({"result":1,"info":{"version":"3.0.0","sid":"1","must":"0"}}; alert(1))",
             uR"({result:1,info:{version:"3.0.0",sid:"1",must:"0"}})",
             uR"({"result":1,"info":{"version":'3.0.0',"sid":"1","must":"0"}})",
             uR"({"result":1,/*c*/"info":{"version":"3.0.0","sid":"1","must":"0"}})",
             uR"({"result":1,"info":{"version":"3.0.0","sid":"1","must":"0"})",
         }) {
        SCOPED_TRACE(std::u16string(text).size());
        EXPECT_FALSE(ParseVersionAnswer(text));
    }
}

}  // namespace
}  // namespace varnel

#include "update/version_answer.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

struct AcceptedAnswer {
    std::u16string text;
    std::u16string result, version, sid, must;
};

TEST(ParseVersionAnswer, ReadsTheFourValuesAsText) {
    const AcceptedAnswer rows[] = {
        {uR"({"result":1,"info":{"version":"3.1.0","sid":"42","must":"0"}})", u"1", u"3.1.0", u"42",
         u"0"},
        // Strings are taken as they are, whole numbers as their decimal digits.
        {uR"( {"result":"0","info":{"version":"3.0.0 ","sid":18446744073709551615,"must":-1}} )",
         u"0", u"3.0.0 ", u"18446744073709551615", u"-1"},
        {uR"({"result":0,"info":{"version":3,"sid":7,"must":-9223372036854775808}})", u"0", u"3",
         u"7", u"-9223372036854775808"},
        // Non-ASCII and escaped strings come back as UTF-16.
        {uR"({"result":"成功","info":{"version":"3.1\u00e9","sid":"\ud83d\ude00","must":"0"}})",
         u"成功", u"3.1é", u"😀", u"0"},
        // Extra fields are ignored; the last of duplicate names counts.
        {uR"({"x":[1,{}],"result":0,"result":2,"info":{"version":"1","sid":"s","must":"1","y":null}})",
         u"2", u"1", u"s", u"1"},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const AcceptedAnswer& row = rows[i];
        const auto answer = ParseVersionAnswer(row.text);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->result, row.result);
        EXPECT_EQ(answer->version, row.version);
        EXPECT_EQ(answer->sid, row.sid);
        EXPECT_EQ(answer->must, row.must);
    }
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

#include "update/version_answer.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

// The answer as "result|version|sid|must", or "none".
std::u16string Read(const std::u16string& text) {
    const auto a = ParseVersionAnswer(text);
    return a ? a->result + u"|" + a->version + u"|" + a->sid + u"|" + a->must : u"none";
}

std::u16string WithMust(const std::u16string& must) {
    return uR"({"result":1,"info":{"version":"3.0.0","sid":"1","must":)" + must + u"}}";
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
        {WithMust(u"null"), u"none"},
        {WithMust(u"true"), u"none"},
        {WithMust(u"1.0"), u"none"},
        {WithMust(u"[\"0\"]"), u"none"},
        {WithMust(u"{}"), u"none"},
        {WithMust(u"99999999999999999999999"), u"none"},
        {uR"({"result":1.5,"info":{"version":"3.0.0","sid":"1","must":"0"}})", u"none"},
        {uR"({"info":{"version":"3.0.0","sid":"1","must":"0"}})", u"none"},
        {uR"({"result":1,"info":{"sid":"1","must":"0"}})", u"none"},
        {uR"({"result":1,"info":{"version":"3.0.0","must":"0"}})", u"none"},
        {uR"({"result":1,"info":{"version":"3.0.0","sid":"1"}})", u"none"},
        {uR"({"result":"0","info":"none"})", u"none"},
        {uR"({"result":1})", u"none"},
        {uR"([{"result":1,"info":{"version":"3.0.0","sid":"1","must":"0"}}])", u"none"},
        {WithMust(u"0}; alert(1)"), u"none"},
        {uR"({result:1,info:{version:"3.0.0",sid:"1",must:"0"}})", u"none"},
        {u"<html><body>500 Internal Server Error</body></html>", u"none"},
        {u"", u"none"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Read(row.text), row.read) << std::string(row.text.begin(), row.text.end());
}

}  // namespace
}  // namespace varnel

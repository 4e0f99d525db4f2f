#include "update/utf8.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

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
    EXPECT_EQ(FromUtf8("\xED\xA0\x80z"), (std::u16string{0xFFFD, u'z'}));
}

}  // namespace
}  // namespace varnel

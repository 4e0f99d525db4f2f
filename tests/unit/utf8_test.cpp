#include "update/utf8.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

// Hex escapes end at the first non-hex character; adjacent literals keep them apart.
struct Utf16ToUtf8 {
    const char* name;
    std::u16string text;
    std::string bytes;
};

TEST(ToUtf8, EncodesEachCodePointAndReplacesLoneSurrogates) {
    const Utf16ToUtf8 rows[] = {
        {"empty", u"", ""},
        {"ascii", u"sn=kesto\x7F", "sn=kesto\x7F"},
        {"2 bytes",
         u"\x80"
         u"\xE9"
         u"\x7FF",
         "\xC2\x80\xC3\xA9\xDF\xBF"},
        {"3 bytes",
         u"\x800"
         u"中"
         u"\xFFFF",
         "\xE0\xA0\x80\xE4\xB8\xAD\xEF\xBF\xBF"},
        {"beside the surrogates",
         u"\xD7FF"
         u"\xE000",
         "\xED\x9F\xBF\xEE\x80\x80"},
        {"pair, lowest", u"\xD800\xDC00", "\xF0\x90\x80\x80"},
        {"pair", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {"pair, highest", u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
        {"lone high at the end", u"x\xD800", "x\xEF\xBF\xBD"},
        {"lone high before text",
         u"\xDBFF"
         u"x",
         "\xEF\xBF\xBDx"},
        {"lone low",
         u"\xDC00"
         u"x\xDFFF",
         "\xEF\xBF\xBDx\xEF\xBF\xBD"},
        {"low before high", u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"two highs", u"\xDBFF\xDBFF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"two lows", u"\xDC00\xDC00", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"high before a pair", u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ToUtf8(row.text), row.bytes) << row.name;
    }
}

struct Utf8ToUtf16 {
    const char* name;
    std::string bytes;
    std::u16string text;
};

TEST(FromUtf8, DecodesWellFormedSequencesAndReplacesEachMalformedOne) {
    const Utf8ToUtf16 rows[] = {
        {"empty", "", u""},
        {"ascii", "sn=kesto\x7F", u"sn=kesto\x7F"},
        {"2 bytes", "\xC2\x80\xC3\xA9\xDF\xBF",
         u"\x80"
         u"\xE9"
         u"\x7FF"},
        {"3 bytes", "\xE0\xA0\x80\xE4\xB8\xAD\xEF\xBF\xBF",
         u"\x800"
         u"中"
         u"\xFFFF"},
        {"beside the surrogates", "\xED\x9F\xBF\xEE\x80\x80",
         u"\xD7FF"
         u"\xE000"},
        {"4 bytes", "\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
         u"\xD800\xDC00\xD83D\xDE00\xDBFF\xDFFF"},
        {"stray trail byte", "x\x80y\xBF",
         u"x\xFFFD"
         u"y\xFFFD"},
        {"bytes that lead nothing", "\xF8\xFFz",
         u"\xFFFD\xFFFD"
         u"z"},
        {"truncated at the end", "x\xE4\xB8", u"x\xFFFD"},
        {"truncated 4 bytes at the end", "\xF0\x9F\x98", u"\xFFFD"},
        {"truncated before text", "\xE4\xB8z\xC3z",
         u"\xFFFD"
         u"z\xFFFD"
         u"z"},
        {"overlong 2 bytes", "\xC0\x80\xC1\xBF", u"\xFFFD\xFFFD"},
        {"overlong 3 bytes", "\xE0\x80\xAFz",
         u"\xFFFD"
         u"z"},
        {"overlong 4 bytes", "\xF0\x8F\xBF\xBF", u"\xFFFD"},
        {"over U+10FFFF", "\xF4\x90\x80\x80z\xF7\xBF\xBF\xBF",
         u"\xFFFD"
         u"z\xFFFD"},
        {"encoded surrogates", "\xED\xA0\x80\xED\xBF\xBF", u"\xFFFD\xFFFD"},
        {"well-formed after malformed", "\xFF\xE4\xB8\xAD",
         u"\xFFFD"
         u"中"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FromUtf8(row.bytes), row.text) << row.name;
    }
}

}  // namespace
}  // namespace varnel

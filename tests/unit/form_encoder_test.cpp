#include "update/form_encoder.h"

#include <gtest/gtest.h>

#include "fakes/fake_update_services.h"

namespace varnel {
namespace {

using testing::GbkCodePage;
using testing::TableCodePage;

struct EncoderRow {
    const char* name;
    std::u16string text, encoded;
};

std::u16string AllAscii() {
    std::u16string text;
    for (char16_t c = 0; c < 128; ++c) {
        text.push_back(c);
    }
    return text;
}

TEST(EncodeFormText, UnderGbkDoubleByteCharactersBecomeTheirBytesAndEverythingElseIsCopied) {
    const GbkCodePage gbk;
    const EncoderRow rows[] = {
        {"empty", u"", u""},
        {"form separators and specials", u"a b&c=d%e+f", u"a b&c=d%e+f"},
        {"every ASCII character", AllAscii(), AllAscii()},
        {"two characters", u"中文", u"%D6%D0%CE%C4"},
        {"after ASCII", u"sn=中文", u"sn=%D6%D0%CE%C4"},
        {"uppercase hex", u"提示", u"%CC%E1%CA%BE"},
        {"a percent beside an escape stays", u"%中%", u"%%D6%D0%"},
        // Hangul is not in GBK; the conversion's "?" (63) is below 255, so the unit is kept.
        {"outside the code page", u"a가b", u"a가b"},
    };
    for (const EncoderRow& row : rows) {
        EXPECT_EQ(EncodeFormText(row.text, gbk), row.encoded) << row.name;
    }
}

// Codes chosen to reach the edges of the arithmetic: the signed 16-bit code, the high part
// divided by 255, and hex digits without leading zeros.
TEST(EncodeFormText, EscapesEveryCodeFrom255UpByItsSigned16BitValue) {
    const TableCodePage codes({{u'é', 233},
                               {u'þ', 254},
                               {u'ÿ', 255},
                               {u'Ā', 256},
                               {u'甲', static_cast<int16_t>(0x8105 - 65536)},
                               {u'乙', static_cast<int16_t>(0xFF01 - 65536)},
                               {u'丙', static_cast<int16_t>(0xFF41 - 65536)},
                               {u'丁', static_cast<int16_t>(0xFF02 - 65536)},
                               {u'戊', static_cast<int16_t>(0xFEFF - 65536)},
                               {u'己', static_cast<int16_t>(0x7FFF)}});
    const EncoderRow rows[] = {
        {"single bytes up to 254 are copied", u"éþ", u"éþ"},
        {"single byte 255: a one-digit high part", u"xÿy", u"x%0%FFy"},
        {"256", u"Ā", u"%1%0"},
        {"trail below 0x10: one digit", u"甲", u"%81%5"},
        // 0xFF01 reads as -255 and is escaped with a high part of 256; 0xFF41 reads as -191,
        // whose absolute value is below 255, so the unit is copied.
        {"lead 0xFF, |code| 255", u"乙", u"%100%1"},
        {"lead 0xFF, |code| below 255", u"丙", u"丙"},
        {"lead 0xFF, |code| 254", u"丁", u"丁"},
        {"lead 0xFE, trail 0xFF", u"戊", u"%FE%FF"},
        {"largest positive code", u"己", u"%7F%FF"},
    };
    for (const EncoderRow& row : rows) {
        EXPECT_EQ(EncodeFormText(row.text, codes), row.encoded) << row.name;
    }
}

}  // namespace
}  // namespace varnel

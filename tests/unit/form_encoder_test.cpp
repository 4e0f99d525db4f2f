#include "update/form_encoder.h"

#include <gtest/gtest.h>

#include "fakes/fake_update_services.h"

namespace varnel {
namespace {

using testing::GbkCodePage;
using testing::TableCodePage;

TEST(EncodeFormTextGbk, DoubleByteCharactersBecomeTheirTwoBytesInUppercaseHex) {
    const GbkCodePage gbk;
    EXPECT_EQ(EncodeFormText(u"中文", gbk), u"%D6%D0%CE%C4");
    EXPECT_EQ(EncodeFormText(u"sn=中文", gbk), u"sn=%D6%D0%CE%C4");
    EXPECT_EQ(EncodeFormText(u"提示", gbk), u"%CC%E1%CA%BE");
}

TEST(EncodeFormTextGbk, AsciiAndEmptyTextPassUnchanged) {
    const GbkCodePage gbk;
    EXPECT_EQ(EncodeFormText(u"", gbk), u"");
    EXPECT_EQ(EncodeFormText(u"a b&c=d%e+f", gbk), u"a b&c=d%e+f");
    EXPECT_EQ(EncodeFormText(u"sn=kesto", gbk), u"sn=kesto");
    std::u16string allAscii;
    for (char16_t c = 0; c < 128; ++c) {
        allAscii.push_back(c);
    }
    EXPECT_EQ(EncodeFormText(allAscii, gbk), allAscii);
}

TEST(EncodeFormTextGbk, PercentBesideAnEscapeStaysUnescaped) {
    const GbkCodePage gbk;
    EXPECT_EQ(EncodeFormText(u"%中%", gbk), u"%%D6%D0%");
}

TEST(EncodeFormTextGbk, CharacterOutsideTheCodePageIsCopiedAsItsReplacementIs) {
    const GbkCodePage gbk;
    // Hangul is not in GBK; the conversion's "?" (63) is below 255, so the unit itself is kept.
    EXPECT_EQ(EncodeFormText(u"a가b", gbk), u"a가b");
}

TEST(EncodeFormTextArithmetic, SingleByte255IsEscapedWithAOneDigitHighPart) {
    const TableCodePage codes({{u'ÿ', 255}});
    EXPECT_EQ(EncodeFormText(u"xÿy", codes), u"x%0%FFy");
}

TEST(EncodeFormTextArithmetic, SingleBytesUpTo254AreCopiedNotEscaped) {
    const TableCodePage codes({{u'é', 233}, {u'þ', 254}});
    EXPECT_EQ(EncodeFormText(u"éþ", codes), u"éþ");
}

TEST(EncodeFormTextArithmetic, HexDigitsCarryNoLeadingZeros) {
    // Lead 0x81, trail 0x05: a trail below 0x10 is written with one digit.
    const TableCodePage codes({{u'甲', static_cast<int16_t>(0x8105 - 65536)}});
    EXPECT_EQ(EncodeFormText(u"甲", codes), u"%81%5");
}

TEST(EncodeFormTextArithmetic, LeadByteFFIsJudgedByItsSigned16BitCode) {
    // 0xFF01 reads as -255 and is escaped with a high part of 256; 0xFF41 reads as -191, whose
    // absolute value is below 255, so the unit is copied.
    const TableCodePage codes({{u'乙', static_cast<int16_t>(0xFF01 - 65536)},
                               {u'丙', static_cast<int16_t>(0xFF41 - 65536)}});
    EXPECT_EQ(EncodeFormText(u"乙丙", codes), u"%100%1丙");
}

}  // namespace
}  // namespace varnel

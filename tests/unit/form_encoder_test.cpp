#include "update/form_encoder.h"

#include <gtest/gtest.h>

#include "fakes/fake_update_services.h"
#include "update/post_form.h"

namespace varnel {
namespace {

using testing::FakeTransport;
using testing::TableCodePage;

// Real GBK codes for 中 and 文, the code of "?" for Hangul (not in GBK), and codes chosen to reach
// the edges of the arithmetic: the signed 16-bit code, the high part divided by 255, and hex
// digits without leading zeros.
const TableCodePage kCodes({{u'中', static_cast<int16_t>(0xD6D0 - 65536)},
                            {u'文', static_cast<int16_t>(0xCEC4 - 65536)},
                            {u'가', '?'},
                            {u'ÿ', 255},
                            {u'Ā', 256},
                            {u'甲', static_cast<int16_t>(0x8105 - 65536)},
                            {u'乙', static_cast<int16_t>(0xFF01 - 65536)},  // |-255|
                            {u'丙', static_cast<int16_t>(0xFF41 - 65536)},  // |-191|
                            {u'丁', static_cast<int16_t>(0xFF02 - 65536)},  // |-254|
                            {u'戊', static_cast<int16_t>(0xFEFF - 65536)},
                            {u'己', static_cast<int16_t>(0x7FFF)}});

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
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(transport.requests[0].url, u"https://h/x");
    EXPECT_EQ(transport.requests[0].contentType, u"application/x-www-form-urlencoded");
    EXPECT_EQ(transport.requests[0].body, "sn=%D6%D0%CE%C4&k=\xEA\xB0\x80 c");
}

}  // namespace
}  // namespace varnel

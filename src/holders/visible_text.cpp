#include "holders/visible_text.h"

namespace varnel::holders {
namespace {

struct Range {
    char32_t first, last;
};

// Cc, Cf, Zl and Zp of Unicode 15, in order.
constexpr Range kHidden[] = {
    {0x0000, 0x001F},   {0x007F, 0x009F},   {0x00AD, 0x00AD},   {0x0600, 0x0605},
    {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},
    {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x2028, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},
    {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
};

bool IsHidden(char32_t c) {
    for (const Range& range : kHidden) {
        if (c < range.first) {
            return false;
        }
        if (c <= range.last) {
            return true;
        }
    }
    return false;
}

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendCodePoint(std::u16string& text, char32_t c) {
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    char16_t hex[6];
    int count = 0;
    do {
        hex[count++] = kDigits[c & 0xF];
        c >>= 4;
    } while (c != 0 || count < 4);
    text += u"<U+";
    while (count > 0) {
        text += hex[--count];
    }
    text += u'>';
}

}  // namespace

std::u16string VisibleText(const std::u16string& text) {
    std::u16string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHigh(unit) && i + 1 < text.size() && IsLow(text[i + 1])) {
            const char32_t c = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            if (IsHidden(c)) {
                AppendCodePoint(shown, c);
            } else {
                shown.append(text, i, 2);
            }
            ++i;
        } else if (IsHigh(unit) || IsLow(unit) || IsHidden(unit)) {
            AppendCodePoint(shown, unit);
        } else {
            shown += unit;
        }
    }
    return shown;
}

}  // namespace varnel::holders

#include "text/utf8.h"

#include <utf8cpp/utf8.h>

namespace varnel {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string ToUtf8(const std::u16string& text) {
    // The library refuses a lone surrogate, which has no UTF-8 form: replace each one first.
    std::u16string units = text;
    for (size_t i = 0; i < units.size(); ++i) {
        if (IsHighSurrogate(units[i]) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(units[i]) || IsLowSurrogate(units[i])) {
            units[i] = kReplacement;
        }
    }
    return utf8::utf16to8(units);
}

std::u16string FromUtf8(const std::string& bytes) {
    return utf8::utf8to16(utf8::replace_invalid(bytes));
}

}  // namespace varnel

// Lower-casing of A-Z alone, for names compared without regard to case in ASCII: charset names,
// and program names held against a fixed list.
#pragma once

#include <string>
#include <string_view>

namespace varnel {

// The text with A-Z made a-z; every other unit stays as it is.
inline std::u16string AsciiLower(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& unit : lower) {
        if (unit >= u'A' && unit <= u'Z') {
            unit = static_cast<char16_t>(unit - u'A' + u'a');
        }
    }
    return lower;
}

}  // namespace varnel

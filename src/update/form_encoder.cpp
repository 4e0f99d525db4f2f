#include "update/form_encoder.h"

#include <cstdint>
#include <cstdlib>

namespace varnel {
namespace {

// Uppercase hexadecimal without leading zeros: 0 -> "0", 13 -> "D", 256 -> "100".
std::u16string Hex(uint32_t value) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string digits;
    do {
        digits.insert(digits.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value != 0);
    return digits;
}

}  // namespace

std::u16string EncodeFormText(const std::u16string& text, const AnsiCodePage& codePage) {
    std::u16string result;
    result.reserve(text.size());
    for (const char16_t unit : text) {
        const int32_t code = codePage.CodeOf(unit);
        if (std::abs(code) < 255) {
            result.push_back(unit);
            continue;
        }
        // The code's two bytes: a negative code is read back as the unsigned 16-bit value.
        const uint32_t bytes = static_cast<uint16_t>(code);
        // The high part divides by 255, not 256: it equals the lead byte for every lead byte a
        // double-byte code page has, and a single byte 255 comes out as "%0%FF".
        const uint32_t high = (bytes & 0xFF00u) / 255u;
        const uint32_t low = bytes & 0xFFu;
        result += u"%" + Hex(high) + u"%" + Hex(low);
    }
    return result;
}

}  // namespace varnel

// Conversions between UTF-16 text and UTF-8 bytes. A lone surrogate becomes U+FFFD, as it does
// in the system's own conversions, so every text has a well-formed UTF-8 form.
#pragma once

#include <string>

namespace varnel {

std::string ToUtf8(const std::u16string& text);

// Expects well-formed UTF-8; each malformed sequence (a stray or truncated sequence, an overlong
// form, an encoded surrogate, a value over U+10FFFF) becomes one U+FFFD.
std::u16string FromUtf8(const std::string& bytes);

}  // namespace varnel

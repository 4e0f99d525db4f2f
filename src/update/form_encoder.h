// The body encoding of the POST module: double-byte characters of the ANSI code page become the
// percent escapes of their two bytes; every other character is copied as it stands.
#pragma once

#include <string>

#include "platform/text_code_page.h"

namespace varnel {

// Encodes the joined form text. Separators, "%", "+", the space and every other ASCII character
// pass through unchanged; so do single-byte characters up to code 254.
std::u16string EncodeFormText(const std::u16string& text, const AnsiCodePage& codePage);

}  // namespace varnel

#pragma once

#include <cstdint>

namespace varnel {

// The code of one UTF-16 unit in the system's ANSI code page: a single byte gives 0..255, a
// double-byte character gives lead * 256 + trail read as a signed 16-bit value.
class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    virtual int16_t CodeOf(char16_t unit) const = 0;
};

}  // namespace varnel

// The text encoding an HTTP answer names in its Content-Type header, as a Windows code page.
#pragma once

#include <cstdint>
#include <string_view>

namespace varnel {

inline constexpr uint32_t kCodePageUtf8 = 65001;

// The code page named by the charset parameter of a Content-Type value, in any case and quoted or
// not; UTF-8 when there is none or the name is unknown.
uint32_t CodePageOfContentType(std::u16string_view contentType);

}  // namespace varnel

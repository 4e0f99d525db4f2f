// The HTTP form poster: one POST of an url-encoded form, answered by the body text.
#pragma once

#include <string>

#include "platform/http.h"
#include "platform/text_code_page.h"

namespace varnel {

class FormPoster {
public:
    static constexpr char16_t kContentType[] = u"application/x-www-form-urlencoded";

    FormPoster(HttpTransport& transport, const AnsiCodePage& codePage)
        : transport_(transport), codePage_(codePage) {}

    // Encodes the joined form with EncodeFormText, posts it to address and returns the answer's
    // body whatever its HTTP status. The transport's PlatformError passes to the caller.
    std::u16string PostForm(const std::u16string& address, const std::u16string& form) const;

private:
    HttpTransport& transport_;
    const AnsiCodePage& codePage_;
};

}  // namespace varnel

#include "update/post_form.h"

#include <new>

#include "platform/platform_error.h"
#include "text/utf8.h"
#include "update/form_encoder.h"

namespace varnel {

std::string FormBody(const std::u16string& form, const AnsiCodePage& codePage) {
    return ToUtf8(EncodeFormText(form, codePage));
}

std::optional<VersionAnswer> PostForm(HttpTransport& transport, const std::u16string& address,
                                      const std::string& body) {
    try {
        return ParseVersionAnswer(transport.Post(address, kFormContentType, body).body);
    } catch (const PlatformError&) {
        // Unreachable, refused or too slow: the same as an answer that reports failure.
    } catch (const std::bad_alloc&) {
        // An answer too large for what memory is left fails the check, not the program.
    }
    return std::nullopt;
}

}  // namespace varnel

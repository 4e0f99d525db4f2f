// The HTTP form poster: one POST of an url-encoded form, answered by the version service's JSON.
#pragma once

#include <optional>
#include <string>

#include "platform/http.h"
#include "platform/text_code_page.h"
#include "update/version_answer.h"

namespace varnel {

inline constexpr char16_t kFormContentType[] = u"application/x-www-form-urlencoded";

// The joined form encoded with EncodeFormText, as the bytes that go on the wire: the encoded form
// is ASCII for every double-byte character; anything the encoder copies unchanged goes as UTF-8.
std::string FormBody(const std::u16string& form, const AnsiCodePage& codePage);

// Posts the form body to address and reads the answer's body, whatever its HTTP status, as the
// version service's answer. Runs on the exchange's own thread, so that neither the network nor a
// hostile answer's parse holds up the window. Every failure of the exchange gives no answer.
std::optional<VersionAnswer> PostForm(HttpTransport& transport, const std::u16string& address,
                                      const std::string& body);

}  // namespace varnel

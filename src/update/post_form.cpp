#include "update/post_form.h"

#include "text/utf8.h"
#include "update/form_encoder.h"

namespace varnel {

std::u16string FormPoster::PostForm(const std::u16string& address,
                                    const std::u16string& form) const {
    // The encoded form is ASCII for every double-byte character; anything the encoder copies
    // unchanged goes on the wire as UTF-8.
    const std::string body = ToUtf8(EncodeFormText(form, codePage_));
    return transport_.Post(address, kContentType, body).body;
}

}  // namespace varnel

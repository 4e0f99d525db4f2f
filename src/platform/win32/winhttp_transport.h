// HTTP POST over WinHTTP, a system DLL.
#pragma once

#include <chrono>
#include <cstddef>

#include "platform/http.h"

namespace varnel::win32 {

class WinHttpTransport : public HttpTransport {
public:
    // Resolve, connect, send and receive together; the caller is never kept waiting longer.
    // The start-up check begins a second after the program starts, and the user is to have a
    // usable window within 10 s of the start even when the service never answers.
    static constexpr std::chrono::milliseconds kTimeLimit{8000};
    // A runaway answer must not eat memory; the service's answers are a few hundred bytes.
    static constexpr size_t kBodyLimit = 1024 * 1024;

    explicit WinHttpTransport(std::chrono::milliseconds timeLimit = kTimeLimit)
        : timeLimit_(timeLimit) {}

    // Honours the system's proxy settings and always verifies the server's certificate.
    HttpAnswer Post(const std::u16string& url, const std::u16string& contentType,
                    const std::string& body) override;

private:
    std::chrono::milliseconds timeLimit_;
};

}  // namespace varnel::win32

// HTTP POST over WinHTTP, a system DLL.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>

#include "platform/http.h"
#include "platform/win32/dynamic_calls_win32.h"

namespace varnel::win32 {

class WinHttpTransport : public HttpTransport {
public:
    // Resolve, connect, send and receive together. The start-up check begins a second after the
    // program starts, and the user is to have a usable window within 10 s of the start even when
    // the service never answers.
    static constexpr std::chrono::milliseconds kTimeLimit{8000};
    // A runaway answer must not eat memory; the service's answers are a few hundred bytes.
    static constexpr size_t kBodyLimit = 1024 * 1024;

    // Without a table, WinHTTP is loaded from the system folder by the first exchange.
    explicit WinHttpTransport(std::optional<WinHttpApi> api = std::nullopt,
                              std::chrono::milliseconds timeLimit = kTimeLimit)
        : api_(api), timeLimit_(timeLimit) {}

    // Runs the whole exchange on the calling thread, which owns its handles from start to end.
    // Honours the system's proxy settings, always verifies the server's certificate, speaks
    // TLS 1.2 or newer and follows a redirect only to the same https host and port. Every phase
    // is bounded by the time left before the time limit; a body shorter than its Content-Length
    // fails.
    HttpAnswer Post(const std::u16string& url, const std::u16string& contentType,
                    const std::string& body) override;

private:
    std::optional<WinHttpApi> api_;
    std::chrono::milliseconds timeLimit_;
};

}  // namespace varnel::win32

// HTTP POST over WinHTTP, a system DLL.
#pragma once

#include <chrono>
#include <cstddef>

#include "platform/clock.h"
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

    // With a pump, the calling thread's window events are handled while the exchange runs, so
    // the window repaints and answers; a quit request met there cancels the exchange.
    explicit WinHttpTransport(EventPump* pump = nullptr,
                              std::chrono::milliseconds timeLimit = kTimeLimit)
        : pump_(pump), timeLimit_(timeLimit) {}

    // Honours the system's proxy settings, always verifies the server's certificate, speaks
    // TLS 1.2 or newer and follows a redirect only to the same https host and port. At the time
    // limit the exchange is cancelled, not left running.
    HttpAnswer Post(const std::u16string& url, const std::u16string& contentType,
                    const std::string& body) override;

private:
    EventPump* pump_;
    std::chrono::milliseconds timeLimit_;
};

}  // namespace varnel::win32

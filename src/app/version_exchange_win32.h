// The version check's exchange on a thread of its own. The thread owns everything it works with
// but the transport; it posts its one result to the window, or drops it once given up.
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>

#include "platform/http.h"
#include "update/version_check.h"

namespace varnel::win32 {

class ThreadedVersionExchange : public VersionExchange {
public:
    // Posted to the window when the running exchange has its result.
    static constexpr UINT kResultMessage = WM_APP + 1;
    // The window's timer for the time limit.
    static constexpr UINT_PTR kLimitTimer = 3;

    // The transport must outlive every exchange, given-up ones included: the process's life.
    // window is the main window's handle as it is when an exchange starts.
    ThreadedVersionExchange(HttpTransport& transport, const HWND& window,
                            std::chrono::milliseconds timeLimit);
    ~ThreadedVersionExchange() override;
    ThreadedVersionExchange(const ThreadedVersionExchange&) = delete;
    ThreadedVersionExchange& operator=(const ThreadedVersionExchange&) = delete;

    // Starts the thread and the window's time-limit timer.
    void Start(const std::u16string& address, const std::string& body) override;
    // From now on the running exchange posts nothing, and its result is freed by its thread.
    void Abandon() override;

    // On kResultMessage: the running exchange's result, or nothing when the message was posted
    // by an exchange given up since.
    std::optional<std::optional<VersionAnswer>> TakeResult();

    struct Shared;

private:
    HttpTransport& transport_;
    const HWND& window_;
    std::chrono::milliseconds timeLimit_;
    std::shared_ptr<Shared> running_;
};

}  // namespace varnel::win32

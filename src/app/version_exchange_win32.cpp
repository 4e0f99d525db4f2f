#include "app/version_exchange_win32.h"

#include <mutex>
#include <utility>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"
#include "update/post_form.h"

namespace varnel::win32 {

// What the window and the exchange's thread share; freed by whichever lets go last. The thread
// never touches the window but through PostMessageW, under the lock, and only while the window
// still waits for it: a given-up thread can neither post to a window that is gone nor keep its
// result alive.
struct ThreadedVersionExchange::Shared {
    HttpTransport& transport;
    std::u16string address;
    std::string body;

    std::mutex mutex;
    HWND window = nullptr;  // null once given up
    std::optional<VersionAnswer> answer;
    bool finished = false;
};

namespace {

DWORD WINAPI Run(void* parameter) {
    const std::unique_ptr<std::shared_ptr<ThreadedVersionExchange::Shared>> held(
        static_cast<std::shared_ptr<ThreadedVersionExchange::Shared>*>(parameter));
    auto& shared = **held;
    // The whole exchange and the answer's parse, however long either takes.
    std::optional<VersionAnswer> answer = PostForm(shared.transport, shared.address, shared.body);
    const std::lock_guard lock(shared.mutex);
    if (shared.window != nullptr) {
        shared.answer = std::move(answer);
        shared.finished = true;
        PostMessageW(shared.window, ThreadedVersionExchange::kResultMessage, 0, 0);
    }
    return 0;
}

}  // namespace

ThreadedVersionExchange::ThreadedVersionExchange(HttpTransport& transport, const HWND& window,
                                                 std::chrono::milliseconds timeLimit)
    : transport_(transport), window_(window), timeLimit_(timeLimit) {}

ThreadedVersionExchange::~ThreadedVersionExchange() {
    Abandon();
}

void ThreadedVersionExchange::Start(const std::u16string& address, const std::string& body) {
    Abandon();
    auto shared = std::make_shared<Shared>(transport_, address, body);
    shared->window = window_;
    auto held = std::make_unique<std::shared_ptr<Shared>>(shared);
    if (!ScopedHandle(CreateThread(nullptr, 0, Run, held.get(), 0, nullptr)).Valid()) {
        ThrowLastError(u"CreateThread");
    }
    held.release();  // the thread's from now on
    running_ = std::move(shared);
    SetTimer(window_, kLimitTimer, static_cast<UINT>(timeLimit_.count()), nullptr);
}

void ThreadedVersionExchange::Abandon() {
    if (running_ == nullptr) {
        return;
    }
    {
        const std::lock_guard lock(running_->mutex);
        if (running_->window != nullptr) {
            KillTimer(running_->window, kLimitTimer);
            running_->window = nullptr;
        }
    }
    running_.reset();
}

std::optional<std::optional<VersionAnswer>> ThreadedVersionExchange::TakeResult() {
    if (running_ == nullptr) {
        return std::nullopt;
    }
    std::optional<VersionAnswer> answer;
    {
        const std::lock_guard lock(running_->mutex);
        if (!running_->finished) {
            return std::nullopt;
        }
        answer = std::move(running_->answer);
    }
    Abandon();  // done with: the timer goes, the thread has let go already
    return answer;
}

}  // namespace varnel::win32

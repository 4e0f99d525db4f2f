#include "app/holder_workers.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/platform_error.h"

namespace varnel::win32 {
namespace {

struct Tally {
    std::mutex lock;
    std::condition_variable idle;
    int running = 0;
};

// Never destroyed: a worker may still end after the program's statics are gone.
Tally& Workers() {
    static Tally* const tally = new Tally;
    return *tally;
}

}  // namespace

void StartHolderWorker(std::function<void()> work) {
    Tally& tally = Workers();
    {
        const std::lock_guard guard(tally.lock);
        ++tally.running;
    }
    try {
        std::thread([&tally, work = std::move(work)] {
            work();
            const std::lock_guard guard(tally.lock);
            --tally.running;
            tally.idle.notify_all();
        }).detach();
    } catch (const std::system_error& refused) {
        const std::lock_guard guard(tally.lock);
        --tally.running;
        throw ThreadRefused(refused);
    }
}

bool WaitForHolderWorkers(DWORD ms) {
    Tally& tally = Workers();
    std::unique_lock guard(tally.lock);
    return tally.idle.wait_for(guard, std::chrono::milliseconds(ms),
                               [&tally] { return tally.running == 0; });
}

struct DriveLister::Shared {
    std::mutex lock;
    std::condition_variable answered;
    bool asking = false;
    int waiting = 0;       // List calls waiting for the answer
    uint64_t answers = 0;  // none yet: no list is known
    HWND announceTo = nullptr;
    UINT announcement = 0;
    std::vector<DriveInfo> last;
    std::optional<PlatformError> failure;  // of the latest answer
};

DriveLister::DriveLister(Drives& drives, DWORD waitMs)
    : drives_(drives), waitMs_(waitMs), shared_(std::make_shared<Shared>()) {}

std::optional<std::vector<DriveInfo>> DriveLister::List() {
    std::unique_lock guard(shared_->lock);
    const uint64_t before = shared_->answers;
    if (!shared_->asking) {  // else the question still out is waited for
        shared_->asking = true;
        guard.unlock();
        try {
            Ask();
        } catch (const PlatformError&) {
            const std::lock_guard undo(shared_->lock);
            shared_->asking = false;
            throw;
        }
        guard.lock();
    }
    ++shared_->waiting;
    const bool answered = shared_->answered.wait_for(guard, std::chrono::milliseconds(waitMs_),
                                                     [&] { return shared_->answers != before; });
    --shared_->waiting;
    if (answered && shared_->failure) {
        throw *shared_->failure;
    }
    if (shared_->answers == 0) {
        return std::nullopt;
    }
    return shared_->last;
}

void DriveLister::AnnounceLateAnswers(HWND window, UINT message) {
    const std::lock_guard guard(shared_->lock);
    shared_->announceTo = window;
    shared_->announcement = message;
}

void DriveLister::Ask() {
    StartHolderWorker([shared = shared_, &drives = drives_] {
        std::vector<DriveInfo> list;
        std::optional<PlatformError> failure;
        try {
            list = drives.List();
        } catch (const std::exception& error) {
            failure = AsPlatformError(error);
        }
        const std::lock_guard done(shared->lock);
        const bool news = !failure && list != shared->last;
        if (news && shared->waiting == 0 && shared->announceTo != nullptr) {
            PostMessageW(shared->announceTo, shared->announcement, 0, 0);
        }
        if (!failure) {
            shared->last = std::move(list);
        }
        shared->failure = std::move(failure);
        shared->asking = false;
        ++shared->answers;
        shared->answered.notify_all();
    });
}

}  // namespace varnel::win32

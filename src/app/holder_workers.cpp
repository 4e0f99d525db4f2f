#include "app/holder_workers.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

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
    } catch (...) {
        const std::lock_guard guard(tally.lock);
        --tally.running;
        throw;
    }
}

bool WaitForHolderWorkers(DWORD ms) {
    Tally& tally = Workers();
    std::unique_lock guard(tally.lock);
    return tally.idle.wait_for(guard, std::chrono::milliseconds(ms),
                               [&tally] { return tally.running == 0; });
}

}  // namespace varnel::win32

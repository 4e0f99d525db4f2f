#include "platform/side_by_side.h"

#include <system_error>
#include <thread>
#include <vector>

namespace varnel {

void RunSideBySide(unsigned helpers, const std::function<void()>& work) {
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    for (unsigned i = 0; i < helpers; ++i) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads: the ones started take the rest
        }
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

}  // namespace varnel

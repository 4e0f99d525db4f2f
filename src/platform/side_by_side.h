// Work shared out over a few threads that take their items from one queue.
#pragma once

#include <functional>

namespace varnel {

// Runs `work` on the calling thread and on up to `helpers` threads beside it, and returns once all
// have returned. `work` takes its items from a queue the threads share, so a thread the system
// refuses (a process out of threads or of address space) is not an error: the threads that did
// start, the caller's at least, do its share. `work` must not throw.
void RunSideBySide(unsigned helpers, const std::function<void()>& work);

}  // namespace varnel

#include "repair/responsive_wait.h"

namespace varnel {

bool ResponsiveWait::WaitMs(int16_t ms) {
    const uint32_t start = clock_.Now();
    for (;;) {
        // The unsigned difference stays right across the clock's wrap at 2^32 and has no limit
        // near 2^31 ms of uptime, unlike a deadline computed as start + ms.
        const uint32_t elapsed = clock_.Now() - start;
        if (ms <= 0 || elapsed >= static_cast<uint32_t>(ms)) {
            return true;
        }
        pump_.WaitForEvents(static_cast<uint32_t>(ms) - elapsed);
        if (!pump_.DispatchPending()) {
            return false;
        }
    }
}

}  // namespace varnel

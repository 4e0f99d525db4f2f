#include "platform/win32/clock_win32.h"

#include <windows.h>

namespace varnel::win32 {

// Milliseconds since the system started, wrapping at 2^32 like timeGetTime. Its steps of 10-16 ms
// are fine for pauses of seconds, which wait at least their length either way.
uint32_t TickClock::Now() {
    return GetTickCount();
}

void TickClock::Sleep(uint32_t ms) {
    ::Sleep(ms);
}

}  // namespace varnel::win32

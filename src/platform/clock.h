// The millisecond clock that every wait stands on, and the pump of pending window events, for
// the responsive wait.
#pragma once

#include <cstdint>

namespace varnel {

class MillisecondClock {
public:
    virtual ~MillisecondClock() = default;
    // Milliseconds since the system started, wrapping at 2^32 (GetTickCount): a wait measures
    // the unsigned difference between two readings, which stays right across the wrap.
    virtual uint32_t Now() = 0;
    // Blocks the calling thread for ms milliseconds.
    virtual void Sleep(uint32_t ms) = 0;
};

class EventPump {
public:
    virtual ~EventPump() = default;
    // Blocks until a window event arrives for this thread or timeoutMs passes.
    virtual void WaitForEvents(uint32_t timeoutMs) = 0;
    // Dispatches every pending event through the main loop's translation. Returns false when a
    // quit request was met (it is left for the main loop) and the caller should stop waiting.
    virtual bool DispatchPending() = 0;
};

}  // namespace varnel

// A pause that keeps the window responsive: pending window events are handled while it waits.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace varnel {

class ResponsiveWait {
public:
    ResponsiveWait(MillisecondClock& clock, EventPump& pump) : clock_(clock), pump_(pump) {}

    // Returns at the first clock reading at least ms milliseconds after the reading taken on
    // entry, handling window events meanwhile (their handlers run nested in this call). The
    // thread sleeps until an event arrives or the time is up, so the wait costs no CPU. For ms of
    // 0 or less it returns at once without handling anything. Returns false, early, when a quit
    // request was met: the request is left for the main loop and the caller should wind down.
    bool WaitMs(int16_t ms);

private:
    MillisecondClock& clock_;
    EventPump& pump_;
};

}  // namespace varnel

// The system's millisecond clock (GetTickCount, from kernel32: no further DLL to load).
#pragma once

#include "platform/clock.h"

namespace varnel::win32 {

class TickClock : public MillisecondClock {
public:
    uint32_t Now() override;
    void Sleep(uint32_t ms) override;
};

}  // namespace varnel::win32

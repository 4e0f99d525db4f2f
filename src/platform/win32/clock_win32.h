// The system's millisecond clock (timeGetTime).
#pragma once

#include "platform/clock.h"

namespace varnel::win32 {

class WinmmClock : public MillisecondClock {
public:
    uint32_t Now() override;
};

}  // namespace varnel::win32

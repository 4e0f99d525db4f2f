#include "platform/win32/clock_win32.h"

#include <windows.h>
// windows.h first: mmsystem.h relies on its types.
#include <mmsystem.h>

namespace varnel::win32 {

uint32_t WinmmClock::Now() {
    return timeGetTime();
}

}  // namespace varnel::win32

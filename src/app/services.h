// The system services the window works with. main.cpp, the composition root, builds the real
// ones once and hands the window references to them; a test hands it fakes instead.
#pragma once

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/http.h"
#include "platform/processes.h"
#include "platform/text_code_page.h"
#include "platform/window_services.h"

namespace varnel::win32 {

struct Services {
    ProcessTable& processes;
    Clipboard& clipboard;
    ProgramStarter& starter;
    MillisecondClock& clock;
    EventPump& pump;
    HttpTransport& transport;
    const AnsiCodePage& codePage;
    MessageBoxes& boxes;  // owned by the main window
    TimeOfDay& timeOfDay;
    ProcessExit& exit;
};

}  // namespace varnel::win32

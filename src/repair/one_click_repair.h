// Command4 "一键强力修复": every repair in one sequence, with pauses during which the window
// stays usable.
#pragma once

#include "log/activity_log.h"
#include "platform/clipboard.h"
#include "platform/processes.h"
#include "platform/window_services.h"
#include "repair/responsive_wait.h"

namespace varnel {

class OneClickRepair {
public:
    OneClickRepair(ActivityLog& log, ProcessTable& processes, Clipboard& clipboard,
                   ProgramStarter& starter, MessageBoxes& boxes, Button& command4,
                   ResponsiveWait& wait, const WindowPresence& window)
        : log_(log),
          processes_(processes),
          clipboard_(clipboard),
          starter_(starter),
          boxes_(boxes),
          command4_(command4),
          wait_(wait),
          window_(window) {}

    // After a Yes to the confirmation: empties the clipboard, ends rundll32.exe and explorer.exe,
    // starts explorer.exe again minimized and opens the Safely Remove Hardware dialog, logging
    // each step and pausing between them. Command4 stays disabled until the last pause is over.
    // A step that fails shows its failure in a box and the sequence goes on with the next one.
    //
    // The user may close the window during a pause. The sequence then stops without touching any
    // control or the log and opens no dialog; if it had ended the shell and not yet started it
    // again, it starts explorer.exe first so the user is not left without one.
    void Command4_Click();

private:
    ActivityLog& log_;
    ProcessTable& processes_;
    Clipboard& clipboard_;
    ProgramStarter& starter_;
    MessageBoxes& boxes_;
    Button& command4_;
    ResponsiveWait& wait_;
    const WindowPresence& window_;
};

}  // namespace varnel

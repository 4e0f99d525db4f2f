// The four repair buttons that each do one thing: Command1 empties the clipboard, Command2 ends
// the related processes, Command3 stops or restarts the shell, Command5 opens the Safely Remove
// Hardware dialog.
#pragma once

#include "layout/layout.h"
#include "log/activity_log.h"
#include "platform/clipboard.h"
#include "platform/processes.h"
#include "platform/window_services.h"

namespace varnel {

class SingleActions {
public:
    SingleActions(ActivityLog& log, ProcessTable& processes, Clipboard& clipboard,
                  ProgramStarter& starter, Button& command3)
        : log_(log),
          processes_(processes),
          clipboard_(clipboard),
          starter_(starter),
          command3_(command3) {}

    // Each handler reports on the status line first and in the log second. A PlatformError from
    // the clipboard or a program start leaves the handler before it reports anything.
    void Command1_Click();
    void Command2_Click();
    // The caption is the toggle's only state: stop when it reads kCommand3Stop, restart when
    // it reads kCommand3Restart, nothing for any other caption.
    void Command3_Click();
    // Reports nothing.
    void Command5_Click();

    // On the program's exit: when Command3 stopped the shell and no explorer.exe runs now, starts
    // it again minimized, so the user is not left without a taskbar and desktop.
    void RestoreShell();

private:
    void Report(const std::u16string& status, const std::u16string& logMessage);

    ActivityLog& log_;
    ProcessTable& processes_;
    Clipboard& clipboard_;
    ProgramStarter& starter_;
    Button& command3_;
    bool shellStopped_ = false;  // by Command3, and not restarted by it since
};

}  // namespace varnel

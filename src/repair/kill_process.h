// Ends running processes by image name.
#pragma once

#include <string>

#include "platform/processes.h"

namespace varnel {

// Terminates every running process whose image name equals name, ignoring case (the system's
// lower-casing, so letters beyond ASCII count too). Only the whole name matches: no substring,
// no trimming. Processes are ended in snapshot order with kEndedExitCode; one that cannot be
// ended is skipped, and Terminate never ends this program's own process, whatever its file is
// called. Nothing is reported: a failed snapshot simply ends nothing.
void KillProcess(ProcessTable& processes, const std::u16string& name);

// Whether a process of that image name runs, compared as KillProcess compares. Throws
// PlatformError when the process list cannot be read.
bool IsRunning(ProcessTable& processes, const std::u16string& name);

}  // namespace varnel

// The console program's commands over the system services, with their output and exit codes.
#pragma once

#include <string>
#include <vector>

#include "holders/eject_policy.h"
#include "holders/free_policy.h"
#include "holders/holder_model.h"
#include "platform/clock.h"
#include "platform/console_input.h"
#include "platform/console_output.h"
#include "platform/device_eject.h"
#include "platform/drives.h"
#include "platform/holder_scan.h"
#include "platform/processes.h"
#include "platform/shell_windows.h"
#include "platform/veto_log.h"
#include "platform/volume_users.h"
#include "platform/volumes.h"

namespace varnel::holders {

// 0: done, nothing holds the drive; 1: something holds it (or the ejection was vetoed, or the
// System log has vetoes of the drive);
// 2: an error (bad arguments, no such drive, no device to eject, a failed system call);
// 3: nothing found, but some processes could not be inspected.
// A run that another run of unplug or the window ended from outside has kEndedExitCode (4), the
// code they give every process they end; 0 always means the command finished its work.
enum ExitCode : int { kExitClear = 0, kExitHeld = 1, kExitError = 2, kExitIncomplete = 3 };

int WhoExitCode(const HolderReport& report);
int FreeExitCode(const FreeOutcome& outcome);
int EjectExitCode(const EjectOutcome& outcome);

struct ConsoleServices {
    Drives& drives;
    HolderScanner& scanner;
    ProcessTable& processes;
    ProgramStarter& starter;
    DeviceEject& devices;
    MillisecondClock& clock;
    ConsoleOutput& output;
    Volumes& volumes;
    ConsoleInput& input;  // asked before a forced dismount
    VetoLog& vetoes;
    ShellWindows& shell;
    VolumeUserList& volumeUsers;
};

// Runs the command the arguments (without the program's name) give; returns the exit code.
int RunConsole(const std::vector<std::u16string>& arguments, ConsoleServices& services);

}  // namespace varnel::holders

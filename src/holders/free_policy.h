// Freeing a drive: ask each holder to close, wait, look again, and with leave to do so end the
// ones left. Some processes are never ended, whatever the user asks.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "holders/holder_model.h"
#include "platform/clock.h"
#include "platform/processes.h"
#include "platform/shell_windows.h"

namespace varnel::holders {

// Why a holder is left running. Besides this process (Self), free never asks or ends its
// callers, each ancestor that still runs (the cmd.exe whose current directory is the drive, and
// whatever started that), nor another run of this program (the same image path) that frees a
// drive at the same time. Each is known by id and creation time, as an id may pass on. A process
// only the file system's list names (UnknownUse) is neither asked nor ended: nobody saw what it
// holds, and that list has been seen to name processes that hold nothing.
enum class SpareReason { None, Self, Caller, SameProgram, Critical, Unidentified, UnknownUse };

// System, smss, csrss, wininit, winlogon, services, lsass: ending any of them stops Windows.
bool IsCriticalSystemName(const std::u16string& program);
bool IsShell(const std::u16string& program);

struct FreeOptions {
    bool kill = false;
    uint32_t waitSeconds = 5;
};

struct LeftHolder {
    Holder holder;
    SpareReason spared = SpareReason::None;  // None: it declined to close (and was not ended)
};

// Explorer's folder windows on a drive, closed through the shell before any process is asked:
// closing a window lets go of its folder without ending explorer.exe, which also runs the desktop
// and the taskbar.
struct WindowsClosing {
    std::vector<ShellWindow> closed;
    std::vector<ShellWindow> left;  // still shown when the wait was over
    std::u16string error;           // why the shell could not be asked; empty when it was
};

struct FreeOutcome {
    std::vector<Holder> closed;  // gone after being asked
    std::vector<Holder> ended;   // ended with --kill
    std::vector<LeftHolder> left;
    bool shellEnded = false;  // explorer.exe was among the holders that went
    bool shellRestarted = false;
    int uninspected = 0;     // in the last look
    WindowsClosing windows;  // closed before the processes were asked
};

// Closes each folder window on the drive and waits, kWindowCloseMs at most, until the shell no
// longer lists them, so that the look that follows does not find explorer.exe still holding their
// folders. A shell that cannot be asked (or stops answering) ends the step with its error; the
// windows it said it closed count as closed.
inline constexpr uint32_t kWindowCloseMs = 2000;
WindowsClosing CloseExplorerWindows(ShellWindows& shell, char16_t letter, MillisecondClock& clock);

using LookAtDrive = std::function<HolderReport()>;

// The process functions' failures for a single holder (one that may not be ended) leave that
// holder running; a failing look or process list passes PlatformError through.
FreeOutcome FreeDrive(const LookAtDrive& look, ProcessTable& processes, ProgramStarter& starter,
                      MillisecondClock& clock, const FreeOptions& options);

// Why each holder would be spared (None: it may be ended), judged on one fresh snapshot.
std::vector<SpareReason> SpareReasons(const std::vector<Holder>& holders, ProcessTable& processes);

// Ends at once the holders that may be ended (after the user agreed to it); the others are left
// with their reason. The shell is started again when it was among them.
FreeOutcome EndHolders(const std::vector<Holder>& holders, ProcessTable& processes,
                       ProgramStarter& starter, MillisecondClock& clock);

}  // namespace varnel::holders

// What the holders window shows and does, without the window: the drive menu's items, one row per
// holder, their order, the lines under the list, and the work the window hands to its worker.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "holders/eject_policy.h"
#include "holders/free_policy.h"
#include "holders/holder_model.h"
#include "platform/clock.h"
#include "platform/device_eject.h"
#include "platform/drives.h"
#include "platform/holder_scan.h"
#include "platform/processes.h"
#include "platform/shell_windows.h"
#include "platform/veto_log.h"
#include "platform/volume_users.h"

namespace varnel::holders {

// The menu's and the drive picker's item: "E:  标签  (NTFS, 1.5 GB)".
std::u16string DriveItemText(const DriveInfo& drive);
std::u16string HoldersCaption(char16_t letter);  // "谁在占用 E:"
std::u16string EjectCaption(char16_t letter);    // "弹出 E:"

// The program's own command line that opens the holders window of a drive: "/holders E:" and
// nothing else. Any other command line gives none, and the program starts as it always has.
std::optional<char16_t> ParseHoldersArguments(const std::vector<std::u16string>& arguments);
std::u16string HoldersArguments(char16_t letter);

// The list's columns: program, process id, what it holds, what it is and what to do about it.
enum class Column { Program, Pid, Holds, Note };
struct HolderRow {
    std::u16string program, pid, holds, note;
};
HolderRow RowOf(const Holder& holder);
// An Explorer window on the drive: no process id, the folder it shows.
HolderRow RowOf(const ShellWindow& window);
// Sorted by a column, ties by process id; the program's name without regard to ASCII case.
void SortHolders(std::vector<Holder>& holders, Column column, bool ascending);

// The line under the list after a look, and the one about processes not inspected (empty when
// every process was).
std::u16string SearchingLine(char16_t letter);
std::u16string ReportLine(char16_t letter, const HolderReport& report);
std::u16string UninspectedLine(int uninspected);
std::u16string ScanFailedLine(const std::u16string& operation, const std::u16string& detail);
// After closing or ending: what went, what was spared and why, on one line.
std::u16string FreeLine(const FreeOutcome& outcome);
// After an eject: done, not found, or the veto's cause and the device that vetoed.
std::u16string EjectLine(char16_t letter, const EjectOutcome& outcome);
// The question before ending processes, naming each.
std::u16string EndQuestion(const std::vector<Holder>& holders);

// The services the window's work runs on, all called from its worker thread.
struct HolderWork {
    Drives& drives;
    HolderScanner& scanner;
    ProcessTable& processes;
    ProgramStarter& starter;
    MillisecondClock& clock;
    DeviceEject& devices;
    VetoLog& vetoes;
    ShellWindows& shellWindows;
    VolumeUserList& volumeUsers;
};

// Everything the window shows of a drive after a look.
struct DriveView {
    HolderReport report;
    std::vector<ShellWindow> windows;  // Explorer's windows showing a folder on the drive
    std::u16string shellError;         // why the shell's windows could not be had
    std::u16string lastVeto;           // the newest veto's line; empty when none or unreadable
};

// Who holds the drive now: the scan's holders, then those only the file system names.
// PlatformError passes through.
HolderReport LookAt(char16_t letter, HolderWork& work);
// The look with Explorer's windows and the newest veto; only the scan's failure passes through.
DriveView LookAround(char16_t letter, HolderWork& work);
// The line under the list after such a look: the report's, then the shell's failure if any.
std::u16string ViewLine(char16_t letter, const DriveView& view);
// Closes the chosen Explorer windows (all of the drive's when ids is nullopt) through the shell
// and waits for them to go, before any process is asked.
WindowsClosing CloseWindows(char16_t letter, const std::optional<std::vector<uint64_t>>& ids,
                            HolderWork& work);
// Asks the given processes to close, waits up to five seconds for those with windows, looks
// again. Processes the free policy spares are not asked.
FreeOutcome CloseHolders(char16_t letter, const std::vector<uint32_t>& pids, HolderWork& work);
// Ends the given holders the free policy allows to end, and starts the shell again if it was
// among them.
FreeOutcome EndHolders(const std::vector<Holder>& holders, HolderWork& work);
// The holders among those given that may be ended.
std::vector<Holder> Endable(const std::vector<Holder>& holders, ProcessTable& processes);

}  // namespace varnel::holders

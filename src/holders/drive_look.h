// Looking at one drive as both programs do: the holders the handle scan finds together with the
// processes only the file system names, and what the System log's vetoes are matched against.
#pragma once

#include "holders/drive_match.h"
#include "holders/holder_model.h"
#include "holders/veto_record.h"
#include "holders/volume_users.h"
#include "platform/device_eject.h"
#include "platform/drives.h"
#include "platform/holder_scan.h"
#include "platform/processes.h"
#include "platform/volume_users.h"

namespace varnel::holders {

struct DriveLook {
    HolderReport report;  // the scan's holders, then those only the file system's list names
    FileSystemList fileSystemList = FileSystemList::None;
};

// Who holds the drive now. The file system's list is asked for the drive's own letter, and the
// process list only when it answered. PlatformError passes through.
DriveLook LookAtHolders(const DriveNames& drive, HolderScanner& scanner, Drives& drives,
                        VolumeUserList& volumeUsers, ProcessTable& processes);

// The drive's devices, every letter's device name and the processes running now.
VetoLookup VetoLookupOf(char16_t letter, DeviceEject& devices, Drives& drives,
                        ProcessTable& processes);

// The newest veto of the drive as a line above the holders; empty when there is none or the log
// cannot be read. The lookup, which asks for every process and device name, is built only when
// the log has a record.
std::u16string NewestVetoLine(char16_t letter, VetoLog& log, DeviceEject& devices, Drives& drives,
                              ProcessTable& processes);

}  // namespace varnel::holders

// The file system's own list of the processes using a volume, checked against the handle scan.
// Windows has been seen to name almost every process on a volume, so the list is trusted only
// while it names no process the scan inspected and found holding nothing.
#pragma once

#include <optional>
#include <vector>

#include "holders/holder_model.h"
#include "platform/holder_scan.h"
#include "platform/processes.h"

namespace varnel::holders {

enum class FileSystemList { None, Used, Ignored };

struct VolumeUsers {
    FileSystemList list = FileSystemList::None;
    // Processes the list names that the scan could not inspect, with the program the process list
    // gives and one hold of kind Unknown on the drive: they hold it in a way nobody could see.
    std::vector<Holder> unknown;
};

// fileSystemIds: the list for the drive of that letter, nullopt when the system gave none.
// scanned: what the handle scan saw of each process (a process counts as inspected when both its
// handles and its memory were read). report: the holders the scan found. processes: the processes
// running now. An id of a holder the scan found is not added again; an id no longer running is
// dropped.
VolumeUsers MergeVolumeUsers(const std::optional<std::vector<uint32_t>>& fileSystemIds,
                             const std::vector<ProcessView>& scanned, const HolderReport& report,
                             const std::vector<ProcessRecord>& processes, char16_t letter);

// "none" (no list), "used" or "ignored" (it named a process that holds nothing), for the JSON's
// "file_system_list".
const char* FileSystemListName(FileSystemList list);

}  // namespace varnel::holders

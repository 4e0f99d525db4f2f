// The open files of every process, from the system's handle table.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "platform/holder_scan.h"

namespace varnel::win32 {

struct HandleScan {
    std::map<uint32_t, std::vector<OpenObject>> files;  // by process id
    std::set<uint32_t> unreadable;  // processes that would not share their handles
    int abandonedQueries = 0;       // name queries that ran over the time limit
};

// Reads the handle table once (NtQuerySystemInformation with a buffer that grows as needed) and
// keeps the handles of the File type, whose type index is learnt from a handle this scan opens
// itself, held by the processes in `pids` with an access that may name a file on a drive. Each
// process's handles are duplicated and their names asked in one batch. Throws PlatformError when
// the table cannot be read.
HandleScan ScanHandles(const std::set<uint32_t>& pids);

}  // namespace varnel::win32

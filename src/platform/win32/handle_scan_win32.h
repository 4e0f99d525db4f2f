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

// Reads the handle table once (NtQuerySystemInformation with a buffer that grows as needed),
// duplicates each File handle of the processes in `pids` and asks its name. The type of a handle
// is learnt once per type index. Throws PlatformError when the table cannot be read.
HandleScan ScanHandles(const std::set<uint32_t>& pids);

}  // namespace varnel::win32

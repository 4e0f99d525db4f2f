// The file system's own list of the processes using a volume, checked against the handle scan.
// Windows has been seen to name almost every process on a volume, so the list is trusted only
// while it names no process the scan inspected and found holding nothing.
#pragma once

#include <nlohmann/json.hpp>
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
    // gives: they hold the drive in a way nobody could see (用途未知).
    std::vector<Holder> unknown;
};

inline constexpr char16_t kUnknownUseWord[] = u"用途未知";

// fileSystemIds: the list, nullopt when the system gave none. scanned: what the handle scan saw
// of each process (a process counts as inspected when both its handles and its memory were read).
// report: the holders the scan found. processes: the processes running now. An id of a holder the
// scan found is not added again; an id no longer running is dropped.
VolumeUsers MergeVolumeUsers(const std::optional<std::vector<uint32_t>>& fileSystemIds,
                             const std::vector<ProcessView>& scanned, const HolderReport& report,
                             const std::vector<ProcessRecord>& processes);

// "  1234  tool.exe  用途未知\n" per unknown holder.
std::u16string UnknownHolderLines(const VolumeUsers& users);

// Adds "file_system_list": "none" | "used" | "ignored" and, when used, the unknown holders to
// "holders" with {"kind": "unknown", "path": "X:"} (the drive is known, the use is not).
void AddVolumeUsersJson(nlohmann::ordered_json& json, const VolumeUsers& users, char16_t letter);

}  // namespace varnel::holders

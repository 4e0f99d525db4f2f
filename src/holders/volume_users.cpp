#include "holders/volume_users.h"

#include <algorithm>

namespace varnel::holders {
namespace {

template <typename List, typename Id>
auto FindId(const List& list, uint32_t id, Id idOf) {
    return std::find_if(list.begin(), list.end(),
                        [&](const auto& item) { return idOf(item) == id; });
}

}  // namespace

VolumeUsers MergeVolumeUsers(const std::optional<std::vector<uint32_t>>& fileSystemIds,
                             const std::vector<ProcessView>& scanned, const HolderReport& report,
                             const std::vector<ProcessRecord>& processes, char16_t letter) {
    VolumeUsers users;
    if (!fileSystemIds) {
        return users;
    }
    users.list = FileSystemList::Used;
    for (const uint32_t id : *fileSystemIds) {
        const auto pidOf = [](const auto& item) { return item.pid; };
        if (FindId(report.holders, id, pidOf) != report.holders.end() ||
            FindId(users.unknown, id, pidOf) != users.unknown.end()) {
            continue;
        }
        const auto seen = FindId(scanned, id, pidOf);
        if (seen != scanned.end() && seen->handlesRead && seen->memoryRead) {
            // Inspected and found holding nothing: the list says more than there is.
            return {FileSystemList::Ignored, {}};
        }
        const auto running = FindId(processes, id, [](const ProcessRecord& p) { return p.id; });
        if (running != processes.end()) {
            const std::u16string drive{letter, u':'};
            users.unknown.push_back(
                {id, running->imageName, {{HoldKind::Unknown, drive}}, running->creationTime});
        }
    }
    return users;
}

const char* FileSystemListName(FileSystemList list) {
    static const char* const kNames[] = {"none", "used", "ignored"};
    return kNames[static_cast<int>(list)];
}

}  // namespace varnel::holders

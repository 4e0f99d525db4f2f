#include "holders/volume_users.h"

#include <algorithm>

#include "holders/holder_texts.h"
#include "text/utf8.h"

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
                             const std::vector<ProcessRecord>& processes) {
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
            users.unknown.push_back({id, running->imageName, {}});
        }
    }
    return users;
}

std::u16string UnknownHolderLines(const VolumeUsers& users) {
    std::u16string text;
    for (const Holder& holder : users.unknown) {
        text += u"  " + Number(holder.pid) + u"  " +
                (holder.program.empty() ? u"(未知程序)" : holder.program) + u"  " +
                kUnknownUseWord + u"\n";
    }
    return text;
}

void AddVolumeUsersJson(nlohmann::ordered_json& json, const VolumeUsers& users, char16_t letter) {
    static const char* const kNames[] = {"none", "used", "ignored"};
    json["file_system_list"] = kNames[static_cast<int>(users.list)];
    for (const Holder& holder : users.unknown) {
        const std::string drive = std::string(1, static_cast<char>(letter)) + ":";
        json["holders"].push_back(
            {{"pid", holder.pid},
             {"program", ToUtf8(holder.program)},
             {"holds", nlohmann::ordered_json::array({{{"kind", "unknown"}, {"path", drive}}})}});
    }
}

}  // namespace varnel::holders

#include "holders/collect_holders.h"

#include <algorithm>

namespace varnel::holders {
namespace {

void Add(std::vector<Hold>& holds, HoldKind kind, const std::u16string& path) {
    const Hold hold{kind, path};
    if (std::find(holds.begin(), holds.end(), hold) == holds.end()) {
        holds.push_back(hold);
    }
}

HoldKind FromMapping(MappingKind kind) {
    switch (kind) {
        case MappingKind::Program:
            return HoldKind::Program;
        case MappingKind::Dll:
            return HoldKind::Dll;
        case MappingKind::Data:
            break;
    }
    return HoldKind::MappedFile;
}

// A path without its trailing separator, so T:\dir\ and T:\dir name the same folder.
std::u16string Trimmed(std::u16string path) {
    while (path.size() > 3 && path.back() == u'\\') {
        path.pop_back();
    }
    return path;
}

std::vector<Hold> HoldsOf(const ProcessView& process, const DriveNames& drive,
                          const IsFolderQuery& isFolder) {
    std::vector<Hold> holds;
    const NameMatch cwd = MatchName(process.currentDirectory, drive);
    const bool cwdOnDrive = cwd.placement == Placement::OnDrive;
    if (cwdOnDrive) {
        Add(holds, HoldKind::CurrentDirectory, Trimmed(cwd.path));
    }
    for (const OpenObject& object : process.files) {
        const NameMatch match = MatchName(object.name, drive);
        if (match.placement == Placement::Volume) {
            Add(holds, HoldKind::Volume, match.path);
        } else if (match.placement == Placement::OnDrive) {
            const std::u16string path = Trimmed(match.path);
            const bool isCwd =
                cwdOnDrive && object.handle == process.currentDirectoryHandle && object.handle != 0;
            if (!isCwd) {
                Add(holds, isFolder(path) ? HoldKind::Folder : HoldKind::File, path);
            }
        }
    }
    for (const MappedFile& mapping : process.mappings) {
        const NameMatch match = MatchName(mapping.name, drive);
        if (match.placement == Placement::OnDrive) {
            Add(holds, FromMapping(mapping.kind), match.path);
        }
    }
    return holds;
}

}  // namespace

HolderReport CollectHolders(const std::vector<ProcessView>& processes, const DriveNames& drive,
                            const IsFolderQuery& isFolder) {
    HolderReport report;
    for (const ProcessView& process : processes) {
        if (!process.handlesRead || !process.memoryRead) {
            ++report.uninspected;
        }
        std::vector<Hold> holds = HoldsOf(process, drive, isFolder);
        if (!holds.empty()) {
            report.holders.push_back(
                {process.pid, process.imageName, std::move(holds), process.creationTime});
        }
    }
    return report;
}

}  // namespace varnel::holders

#include "holders/drive_look.h"

#include "holders/collect_holders.h"
#include "platform/platform_error.h"

namespace varnel::holders {

DriveLook LookAtHolders(const DriveNames& drive, HolderScanner& scanner, Drives& drives,
                        VolumeUserList& volumeUsers, ProcessTable& processes) {
    const std::vector<ProcessView> views = scanner.Scan();
    DriveLook look;
    look.report = CollectHolders(
        views, drive, [&drives](const std::u16string& path) { return drives.IsFolder(path); });
    const std::optional<std::vector<uint32_t>> ids = volumeUsers.ProcessIds(drive.letter);
    const VolumeUsers users =
        MergeVolumeUsers(ids, views, look.report,
                         ids ? processes.Snapshot() : std::vector<ProcessRecord>{}, drive.letter);
    look.fileSystemList = users.list;
    look.report.holders.insert(look.report.holders.end(), users.unknown.begin(),
                               users.unknown.end());
    return look;
}

VetoLookup VetoLookupOf(char16_t letter, DeviceEject& devices, Drives& drives,
                        ProcessTable& processes) {
    VetoLookup lookup{devices.DeviceChain(letter), {}, processes.Snapshot()};
    for (char16_t each = u'A'; each <= u'Z'; ++each) {
        std::u16string device = drives.DeviceName(each);
        if (!device.empty()) {
            lookup.dosDevices.push_back({each, std::move(device)});
        }
    }
    return lookup;
}

std::u16string NewestVetoLine(char16_t letter, VetoLog& log, DeviceEject& devices, Drives& drives,
                              ProcessTable& processes) {
    try {
        const std::vector<VetoEvent> events = log.Read();
        if (events.empty()) {
            return {};
        }
        return LastVetoLine(
            letter,
            DriveVetoes(events, VetoLookupOf(letter, devices, drives, processes), log.Now()), log);
    } catch (const PlatformError&) {
        return {};  // the holders are what matters; a veto that cannot be had is left out
    }
}

}  // namespace varnel::holders

// The drives the system knows by letter: which are removable or external, and their names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

enum class DriveKind { Removable, External, CdRom };

struct DriveInfo {
    char16_t letter = u'A';
    DriveKind kind = DriveKind::Removable;
    std::u16string label;
    std::u16string fileSystem;  // empty when no medium is inserted
    uint64_t sizeBytes = 0;

    bool operator==(const DriveInfo&) const = default;
};

class Drives {
public:
    virtual ~Drives() = default;
    // The removable and external drives, in letter order.
    virtual std::vector<DriveInfo> List() = 0;
    // The device name behind a letter (QueryDosDeviceW): \Device\HarddiskVolume1, or for a
    // SUBST drive the folder it stands for (\??\C:\dir). Empty when no such drive exists.
    virtual std::u16string DeviceName(char16_t letter) = 0;
    // Whether a path (T:\dir) names a folder; false when it does not exist.
    virtual bool IsFolder(const std::u16string& path) = 0;
};

}  // namespace varnel

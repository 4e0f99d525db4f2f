// Drive letters, their kind, label, file system and size, and their device names.
#pragma once

#include "platform/drives.h"

namespace varnel::win32 {

class DrivesWin32 : public Drives {
public:
    std::vector<DriveInfo> List() override;
    std::u16string DeviceName(char16_t letter) override;
    bool IsFolder(const std::u16string& path) override;
};

}  // namespace varnel::win32

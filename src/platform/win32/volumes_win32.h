// A drive's volume through DeviceIoControl on \\.\X:.
#pragma once

#include "platform/volumes.h"

namespace varnel::win32 {

class VolumesWin32 : public Volumes {
public:
    VolumeFacts Describe(char16_t letter) override;
    std::unique_ptr<VolumeHandle> Open(char16_t letter) override;
};

}  // namespace varnel::win32

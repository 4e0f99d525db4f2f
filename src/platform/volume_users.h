// The processes the file system itself names as users of a volume.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace varnel {

class VolumeUserList {
public:
    virtual ~VolumeUserList() = default;
    // The ids of the processes with something open on the drive, as the file system counts them,
    // without the asking process; nullopt when the system gives no list (refused, not supported).
    virtual std::optional<std::vector<uint32_t>> ProcessIds(char16_t letter) = 0;
};

}  // namespace varnel

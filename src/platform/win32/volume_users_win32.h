// The file system's list of the processes using a volume: NtQueryInformationFile with
// FileProcessIdsUsingFileInformation on \\.\X:.
#pragma once

#include <windows.h>

#include "platform/volume_users.h"
#include "platform/win32/nt_api_win32.h"

namespace varnel::win32 {

class VolumeUsersWin32 : public VolumeUserList {
public:
    VolumeUsersWin32() = default;  // ntdll's NtQueryInformationFile, at the first question
    explicit VolumeUsersWin32(nt::QueryInformationFile query) : query_(query) {}
    std::optional<std::vector<uint32_t>> ProcessIds(char16_t letter) override;

private:
    nt::QueryInformationFile query_ = nullptr;
};

}  // namespace varnel::win32

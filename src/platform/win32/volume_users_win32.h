// The file system's list of the processes using a volume: NtQueryInformationFile with
// FileProcessIdsUsingFileInformation on \\.\X:.
#pragma once

#include <windows.h>

#include "platform/volume_users.h"

namespace varnel::win32 {

namespace nt_files {

constexpr ULONG kFileProcessIdsUsingFileInformation = 47;

struct IoStatus {  // IO_STATUS_BLOCK
    union {
        LONG status;
        PVOID pointer;
    };
    ULONG_PTR information;
};

struct ProcessIdList {  // FILE_PROCESS_IDS_USING_FILE_INFORMATION
    ULONG numberOfProcessIdsInList;
    ULONG_PTR processIdList[1];
};

using QueryInformationFile = LONG(NTAPI*)(HANDLE, IoStatus*, PVOID, ULONG, ULONG);

// ntdll's NtQueryInformationFile (ntdll is in every process); nullptr when it lacks it.
QueryInformationFile NtdllQueryInformationFile();

}  // namespace nt_files

class VolumeUsersWin32 : public VolumeUserList {
public:
    explicit VolumeUsersWin32(
        nt_files::QueryInformationFile query = nt_files::NtdllQueryInformationFile())
        : query_(query) {}
    std::optional<std::vector<uint32_t>> ProcessIds(char16_t letter) override;

private:
    nt_files::QueryInformationFile query_;
};

}  // namespace varnel::win32

#include "platform/win32/volume_users_win32.h"

#include <algorithm>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/storage_device_win32.h"

namespace varnel::win32 {
namespace {

// A list of 128 Ki process ids; no system runs that many processes.
constexpr ULONG kMaxBufferBytes = 1 << 20;

}  // namespace

std::optional<std::vector<uint32_t>> VolumeUsersWin32::ProcessIds(char16_t letter) {
    const nt::QueryInformationFile query =
        query_ != nullptr ? query_ : nt::Ntdll().queryInformationFile;
    // Reading attributes needs no right over the volume's contents; full sharing leaves every
    // other user of the volume undisturbed.
    const ScopedHandle volume(CreateFileW(VolumePath(letter).c_str(),
                                          FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    if (!volume.Valid()) {
        return std::nullopt;
    }
    // ULONG_PTR units keep the list aligned as the structure requires.
    std::vector<ULONG_PTR> buffer(512);
    for (;;) {
        const auto bytes = static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR));
        nt::IoStatus io{};
        const LONG status =
            query(volume.Get(), &io, buffer.data(), bytes, nt::kFileProcessIdsUsingFileInformation);
        if (status == nt::kInfoLengthMismatch && bytes < kMaxBufferBytes) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status < 0) {
            return std::nullopt;  // refused, not supported, or more than the limit
        }
        const auto* list = reinterpret_cast<const nt::ProcessIdList*>(buffer.data());
        const size_t fits = buffer.size() - 1;  // the ids follow the count's (padded) unit
        const size_t count = std::min<size_t>(list->numberOfProcessIdsInList, fits);
        std::vector<uint32_t> ids;
        const DWORD self = GetCurrentProcessId();
        for (size_t i = 0; i < count; ++i) {
            // This process opened the volume to ask, which makes it a user of it too.
            const auto id = static_cast<uint32_t>(list->processIdList[i]);
            if (id != self) {
                ids.push_back(id);
            }
        }
        return ids;
    }
}

}  // namespace varnel::win32

#include "platform/win32/handle_scan_win32.h"

#include <windows.h>

#include <unordered_map>

#include "platform/platform_error.h"
#include "platform/win32/name_query_worker_win32.h"
#include "platform/win32/nt_api_win32.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

constexpr DWORD kNameQueryLimitMs = 200;
constexpr size_t kFirstTableBytes = 1 << 20;
constexpr size_t kLargestTableBytes = size_t{512} << 20;

// The handle table as one block; it grows until the system's answer fits.
std::vector<unsigned char> ReadHandleTable() {
    const nt::Functions& ntdll = nt::Ntdll();
    std::vector<unsigned char> table(kFirstTableBytes);
    for (;;) {
        ULONG needed = 0;
        const nt::Status status =
            ntdll.querySystemInformation(nt::kSystemExtendedHandleInformation, table.data(),
                                         static_cast<ULONG>(table.size()), &needed);
        if (status >= 0) {
            return table;
        }
        if (status != nt::kInfoLengthMismatch || table.size() >= kLargestTableBytes) {
            throw PlatformError(u"NtQuerySystemInformation", SystemErrorText(status));
        }
        // Handles open meanwhile: ask for more than the system said it needed.
        table.resize(
            std::min(kLargestTableBytes, std::max<size_t>(table.size() * 2, needed + needed / 2)));
    }
}

// The type names by index, learnt from the first handle of each type met.
class TypeNames {
public:
    bool IsFile(USHORT index, HANDLE duplicate) {
        auto found = known_.find(index);
        if (found == known_.end()) {
            found = known_.emplace(index, Query(duplicate) == L"File").first;
        }
        return found->second;
    }
    bool Known(USHORT index, bool& isFile) const {
        const auto found = known_.find(index);
        if (found == known_.end()) {
            return false;
        }
        isFile = found->second;
        return true;
    }

private:
    static std::wstring Query(HANDLE object) {
        alignas(8) unsigned char buffer[4096];
        ULONG length = 0;
        if (nt::Ntdll().queryObject(object, nt::kObjectTypeInformation, buffer,
                                    sizeof(buffer) - sizeof(wchar_t), &length) < 0) {
            return {};
        }
        const auto* name = reinterpret_cast<const nt::CountedString*>(buffer);
        return name->buffer ? std::wstring(name->buffer, name->length / sizeof(wchar_t)) : L"";
    }

    std::unordered_map<USHORT, bool> known_;
};

}  // namespace

HandleScan ScanHandles(const std::set<uint32_t>& pids) {
    const std::vector<unsigned char> block = ReadHandleTable();
    const auto* table = reinterpret_cast<const nt::HandleTable*>(block.data());
    const size_t capacity =
        (block.size() - offsetof(nt::HandleTable, handles)) / sizeof(nt::HandleEntry);
    const size_t count = std::min<size_t>(table->count, capacity);

    HandleScan scan;
    TypeNames types;
    NameQueryWorker worker(kNameQueryLimitMs);
    std::unordered_map<uint32_t, HANDLE> opened;  // one PROCESS_DUP_HANDLE handle per process
    const DWORD self = GetCurrentProcessId();
    for (size_t i = 0; i < count; ++i) {
        const nt::HandleEntry& entry = table->handles[i];
        const auto pid = static_cast<uint32_t>(entry.processId);
        bool isFile = false;
        if (pids.count(pid) == 0 || scan.unreadable.count(pid) != 0 ||
            (types.Known(entry.objectTypeIndex, isFile) && !isFile)) {
            continue;
        }
        auto process = opened.find(pid);
        if (process == opened.end()) {
            HANDLE handle =
                pid == self ? GetCurrentProcess() : OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid);
            if (handle == nullptr) {
                scan.unreadable.insert(pid);
                continue;
            }
            process = opened.emplace(pid, handle).first;
            scan.files[pid];  // a readable process, even one with no files open
        }
        HANDLE duplicate = nullptr;
        if (!DuplicateHandle(process->second, reinterpret_cast<HANDLE>(entry.handleValue),
                             GetCurrentProcess(), &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            continue;
        }
        const ScopedHandle owned(duplicate);
        if (!types.IsFile(entry.objectTypeIndex, duplicate)) {
            continue;
        }
        const std::optional<std::u16string> name = worker.Query(duplicate);
        if (name && !name->empty()) {
            scan.files[pid].push_back({entry.handleValue, *name});
        }
    }
    for (const auto& [pid, handle] : opened) {
        if (pid != self) {
            CloseHandle(handle);
        }
    }
    scan.abandonedQueries = worker.Abandoned();
    return scan;
}

}  // namespace varnel::win32

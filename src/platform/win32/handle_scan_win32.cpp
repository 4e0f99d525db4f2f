#include "platform/win32/handle_scan_win32.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include "platform/handle_access.h"
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

// A handle of this process to the system folder: a handle of the File type (a folder is a file to
// the object manager) whose value is known, so that its entry in the table tells the File type's
// index. The system folder is always there, and never on a drive that can be ejected.
ScopedHandle OpenSystemFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    ScopedHandle folder(length > 0 && length < MAX_PATH
                            ? CreateFileW(path, FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr)
                            : INVALID_HANDLE_VALUE);
    if (!folder.Valid()) {
        ThrowLastError(u"CreateFileW(System32)");
    }
    return folder;
}

struct Candidate {
    uint32_t pid;
    ULONG_PTR handle;
};

// The handles worth a name: of the File type, of a process asked about, with an access that may
// name a file; grouped by process, in the table's order within each.
std::vector<Candidate> FileHandles(const std::set<uint32_t>& pids, HANDLE ownFolder) {
    const std::vector<unsigned char> block = ReadHandleTable();
    const auto* table = reinterpret_cast<const nt::HandleTable*>(block.data());
    const size_t capacity =
        (block.size() - offsetof(nt::HandleTable, handles)) / sizeof(nt::HandleEntry);
    const std::span<const nt::HandleEntry> entries(table->handles,
                                                   std::min<size_t>(table->count, capacity));
    const ULONG_PTR self = GetCurrentProcessId();
    const auto own = std::find_if(entries.begin(), entries.end(), [&](const nt::HandleEntry& e) {
        return e.processId == self && e.handleValue == reinterpret_cast<ULONG_PTR>(ownFolder);
    });
    if (own == entries.end()) {
        throw PlatformError(u"NtQuerySystemInformation", u"the scan's own handle is not listed");
    }
    std::vector<Candidate> candidates;
    for (const nt::HandleEntry& entry : entries) {
        const auto pid = static_cast<uint32_t>(entry.processId);
        if (entry.objectTypeIndex == own->objectTypeIndex && &entry != &*own &&
            MayNameAFile(entry.grantedAccess) && pids.contains(pid)) {
            candidates.push_back({pid, entry.handleValue});
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.pid < b.pid; });
    return candidates;
}

}  // namespace

HandleScan ScanHandles(const std::set<uint32_t>& pids) {
    const ScopedHandle ownFolder = OpenSystemFolder();
    const std::vector<Candidate> candidates = FileHandles(pids, ownFolder.Get());

    HandleScan scan;
    NameQueryWorker worker(kNameQueryLimitMs);
    // One process's duplicates and their answers; the storage serves every process in turn.
    std::vector<ScopedHandle> duplicates;
    std::vector<HANDLE> objects;
    std::vector<ULONG_PTR> values;
    std::vector<std::optional<std::u16string>> names;
    for (auto first = candidates.begin(); first != candidates.end();) {
        const uint32_t pid = first->pid;
        const auto last =
            std::find_if(first, candidates.end(), [&](const Candidate& c) { return c.pid != pid; });
        const ScopedHandle process(OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid));
        if (!process.Valid()) {
            scan.unreadable.insert(pid);
            first = last;
            continue;
        }
        duplicates.clear();
        objects.clear();
        values.clear();
        for (; first != last; ++first) {
            HANDLE duplicate = nullptr;
            if (DuplicateHandle(process.Get(), reinterpret_cast<HANDLE>(first->handle),
                                GetCurrentProcess(), &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
                duplicates.emplace_back(duplicate);
                objects.push_back(duplicate);
                values.push_back(first->handle);
            }
        }
        worker.Query(objects, names);
        std::vector<OpenObject>& files = scan.files[pid];
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i] && !names[i]->empty()) {
                files.push_back({values[i], std::move(*names[i])});
            }
        }
    }
    scan.abandonedQueries = worker.Abandoned();
    return scan;
}

}  // namespace varnel::win32

#include "platform/win32/holder_scanner_win32.h"

#include <windows.h>
#include <atomic>
#include <future>
#include <set>

#include "platform/side_by_side.h"
#include "platform/win32/handle_scan_win32.h"
#include "platform/win32/memory_scan_win32.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

// Each look into another process's memory is a call per region that may wait on that process, so
// much of a walk is waiting; walks side by side overlap the waits, up to about eight.
constexpr unsigned kMemoryWalkers = 8;

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Every process but the idle process, which holds nothing, from the one process list.
std::vector<ProcessView> RunningProcesses(ProcessTable& table) {
    std::vector<ProcessView> processes;
    for (ProcessRecord& record : table.Snapshot()) {
        if (record.id != 0) {
            ProcessView view;
            view.pid = record.id;
            view.creationTime = record.creationTime;
            view.imageName = std::move(record.imageName);
            processes.push_back(std::move(view));
        }
    }
    return processes;
}

void EnableDebugPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) {
        return;
    }
    const ScopedHandle owned(token);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // A token without the privilege (a standard user) simply stays as it is.
    if (LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid)) {
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    }
}

}  // namespace

HolderScannerWin32::HolderScannerWin32(ProcessTable& processes) : processes_(processes) {
    EnableDebugPrivilege();
}

std::vector<ProcessView> HolderScannerWin32::Scan() {
    std::vector<ProcessView> processes = RunningProcesses(processes_);
    std::set<uint32_t> pids;
    for (const ProcessView& process : processes) {
        pids.insert(process.pid);
    }
    // The handle table is read while the memory is walked: both are mostly waits on the system.
    LARGE_INTEGER start, handlesEnd, walkEnd;
    QueryPerformanceCounter(&start);
    // A process refused another thread reads the table after the walk instead.
    std::future<HandleScan> handleScan =
        std::async(std::launch::async | std::launch::deferred, [&pids, &handlesEnd] {
            HandleScan scan = ScanHandles(pids);
            QueryPerformanceCounter(&handlesEnd);
            return scan;
        });
    std::atomic<size_t> next{0};
    RunSideBySide(kMemoryWalkers - 1, [&] {
        for (size_t i = next++; i < processes.size(); i = next++) {
            ScanMemory(processes[i].pid, processes[i]);
        }
    });
    QueryPerformanceCounter(&walkEnd);
    HandleScan handles = handleScan.get();
    for (ProcessView& process : processes) {
        process.handlesRead = handles.unreadable.count(process.pid) == 0;
        process.files = std::move(handles.files[process.pid]);
    }
    handleMs_ = Milliseconds(start, handlesEnd);
    memoryMs_ = Milliseconds(start, walkEnd);
    return processes;
}

}  // namespace varnel::win32

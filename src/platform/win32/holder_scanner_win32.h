// Every running process with its open files (handle table) and its mapped files and current
// directory (memory walk).
#pragma once

#include <atomic>

#include "platform/holder_scan.h"
#include "platform/processes.h"

namespace varnel::win32 {

class HolderScannerWin32 : public HolderScanner {
public:
    // Enables the debug privilege when the token holds it (an elevated administrator), so the
    // scan can look into other users' processes and services too.
    // The processes come from the one process list.
    explicit HolderScannerWin32(ProcessTable& processes);
    std::vector<ProcessView> Scan() override;

    // How long the last scan's two parts took, for the benchmark. Two windows may scan at once.
    double HandleScanMs() const { return handleMs_; }
    double MemoryWalkMs() const { return memoryMs_; }

private:
    ProcessTable& processes_;
    std::atomic<double> handleMs_{0};
    std::atomic<double> memoryMs_{0};
};

}  // namespace varnel::win32

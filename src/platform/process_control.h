// Asking processes to close, ending them, and the time the asking may take.
#pragma once

#include <cstdint>
#include <string>

namespace varnel {

class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    virtual uint32_t SelfId() = 0;
    // Whether the system marks the process critical (ending it stops the system).
    virtual bool IsCritical(uint32_t pid) = 0;
    // Posts WM_CLOSE to the process's visible top-level windows; returns how many it asked.
    virtual int AskToClose(uint32_t pid) = 0;
    virtual bool IsRunning(uint32_t pid) = 0;
    // Ends the process if it still runs the program of that file name (its id may have passed
    // to another process since it was seen); false when it does not, or cannot be ended.
    virtual bool Terminate(uint32_t pid, const std::u16string& program) = 0;
    // Starts the Windows folder's explorer.exe minimized; false when it cannot be started.
    virtual bool StartShell() = 0;
};

class Pacer {
public:
    virtual ~Pacer() = default;
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

}  // namespace varnel

// Asking processes to close through their windows, ending them, and the clock to wait by.
#pragma once

#include "platform/process_control.h"

namespace varnel::win32 {

class ProcessControlWin32 : public ProcessControl {
public:
    uint32_t SelfId() override;
    bool IsCritical(uint32_t pid) override;
    int AskToClose(uint32_t pid) override;
    bool IsRunning(uint32_t pid) override;
    bool Terminate(uint32_t pid, const std::u16string& program) override;
    bool StartShell() override;
};

class PacerWin32 : public Pacer {
public:
    uint64_t NowMs() override;
    void SleepMs(uint32_t ms) override;
};

}  // namespace varnel::win32

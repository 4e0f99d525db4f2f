// The running processes through the Tool Help snapshot: the one process list of both programs,
// with ending, asking to close and the checks the console's free command needs.
#pragma once

#include "platform/processes.h"

namespace varnel::win32 {

class ToolhelpProcessTable : public ProcessTable {
public:
    std::vector<ProcessRecord> Snapshot() override;
    bool Terminate(const ProcessRecord& process) override;
    int AskToClose(uint32_t id) override;
    bool IsRunning(uint32_t id) override;
    bool IsCritical(uint32_t id) override;
    std::u16string ToLower(const std::u16string& text) const override;
    uint32_t CurrentProcessId() const override;
};

}  // namespace varnel::win32

// The running processes through the Tool Help snapshot, and their termination.
#pragma once

#include "platform/processes.h"

namespace varnel::win32 {

class ToolhelpProcessTable : public ProcessTable {
public:
    bool ForEachProcess(const std::function<void(const ProcessRecord&)>& visit) override;
    void Terminate(uint32_t id) override;
    std::u16string ToLower(const std::u16string& text) const override;
    uint32_t CurrentProcessId() const override;
};

}  // namespace varnel::win32

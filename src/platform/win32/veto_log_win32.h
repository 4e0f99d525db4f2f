// The System log's records of refused removals, read through wevtapi (loaded from System32 at
// first use, never from beside the program).
#pragma once

#include "platform/veto_log.h"
#include "platform/win32/dynamic_calls_win32.h"

namespace varnel::win32 {

inline constexpr wchar_t kVetoQuery[] =
    L"*[System[Provider[@Name='Microsoft-Windows-Kernel-PnP'] and (EventID=225)]]";

class VetoLogWin32 : public VetoLog {
public:
    VetoLogWin32() = default;  // the loaded wevtapi, at the first read
    explicit VetoLogWin32(const WevtApi& api) : api_(&api) {}
    std::vector<VetoEvent> Read() override;
    uint64_t Now() override;
    int UtcOffsetMinutes(uint64_t ticks) override;

private:
    const WevtApi* api_ = nullptr;
};

}  // namespace varnel::win32

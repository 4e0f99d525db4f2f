// The System log's records of refused removals, read through wevtapi (loaded from System32 at
// first use, never from beside the program).
#pragma once

#include <windows.h>
// windows.h first: winevt.h relies on its types.
#include <winevt.h>

#include "platform/veto_log.h"

namespace varnel::win32 {

// The wevtapi functions the reader calls; a test hands stand-ins.
struct WevtApi {
    decltype(&EvtQuery) query = nullptr;
    decltype(&EvtNext) next = nullptr;
    decltype(&EvtCreateRenderContext) createRenderContext = nullptr;
    decltype(&EvtRender) render = nullptr;
    decltype(&EvtClose) close = nullptr;
};

// wevtapi.dll from System32, looked up once; throws PlatformError when it or a function is missing.
const WevtApi& LoadedWevtApi();

inline constexpr wchar_t kVetoQuery[] =
    L"*[System[Provider[@Name='Microsoft-Windows-Kernel-PnP'] and (EventID=225)]]";

class VetoLogWin32 : public VetoLog {
public:
    VetoLogWin32() = default;  // the loaded wevtapi, at the first read
    explicit VetoLogWin32(const WevtApi& api) : api_(&api) {}
    std::vector<VetoEvent> Read() override;
    uint64_t Now() override;
    int UtcOffsetMinutes() override;

private:
    const WevtApi* api_ = nullptr;
};

}  // namespace varnel::win32

#include "platform/win32/veto_log_win32.h"

#include <cstddef>
#include <cwchar>
#include <optional>
#include <utility>
#include <vector>

#include "platform/platform_error.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

// One rendering of one record: the values of a Kernel-PnP record take well under a kilobyte.
constexpr DWORD kMaxRenderBytes = 64 * 1024;
constexpr DWORD kBatch = 16;
constexpr DWORD kNextTimeoutMs = 10'000;

// An EVT_HANDLE, closed through the table it came from.
class ScopedEvt {
public:
    ScopedEvt(const WevtApi& api, EVT_HANDLE handle) : api_(api), handle_(handle) {}
    ~ScopedEvt() {
        if (handle_ != nullptr) {
            api_.close(handle_);
        }
    }
    ScopedEvt(ScopedEvt&& other) noexcept
        : api_(other.api_), handle_(std::exchange(other.handle_, nullptr)) {}
    ScopedEvt(const ScopedEvt&) = delete;
    ScopedEvt& operator=(const ScopedEvt&) = delete;
    EVT_HANDLE Get() const { return handle_; }

private:
    const WevtApi& api_;
    EVT_HANDLE handle_;
};

// The values a context selects, rendered into a buffer of EVT_VARIANT units, its size asked
// first. The strings lie in the same buffer, after the variants.
struct Rendered {
    std::vector<EVT_VARIANT> buffer;
    DWORD used = 0;  // bytes
    DWORD count = 0;

    const std::byte* Begin() const { return reinterpret_cast<const std::byte*>(buffer.data()); }
    const std::byte* End() const { return Begin() + used; }
};

// Nothing when the record does not render or is larger than any record of this kind.
std::optional<Rendered> Render(const WevtApi& api, EVT_HANDLE context, EVT_HANDLE event) {
    Rendered rendered;
    if (api.render(context, event, EvtRenderEventValues, 0, nullptr, &rendered.used,
                   &rendered.count) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || rendered.used > kMaxRenderBytes) {
        return std::nullopt;
    }
    rendered.buffer.resize(rendered.used / sizeof(EVT_VARIANT) + 1);
    const auto size = static_cast<DWORD>(rendered.buffer.size() * sizeof(EVT_VARIANT));
    if (!api.render(context, event, EvtRenderEventValues, size, rendered.buffer.data(),
                    &rendered.used, &rendered.count) ||
        rendered.used > size || rendered.count > rendered.used / sizeof(EVT_VARIANT)) {
        return std::nullopt;
    }
    return rendered;
}

// A string value must lie in the rendered buffer; its length is bounded by the buffer's end.
EventValue Value(const EVT_VARIANT& variant, const Rendered& rendered) {
    switch (variant.Type) {
        case EvtVarTypeNull:
            return {};
        case EvtVarTypeString: {
            const auto* text = reinterpret_cast<const std::byte*>(variant.StringVal);
            if (text < rendered.Begin() || text >= rendered.End()) {
                break;
            }
            const size_t room = static_cast<size_t>(rendered.End() - text) / sizeof(wchar_t);
            return {EventValueType::String, 0,
                    FromWide(variant.StringVal, wcsnlen(variant.StringVal, room))};
        }
        case EvtVarTypeUInt16:
            return {EventValueType::UInt16, variant.UInt16Val, {}};
        case EvtVarTypeUInt32:
            return {EventValueType::UInt32, variant.UInt32Val, {}};
        case EvtVarTypeUInt64:
            return {EventValueType::UInt64, variant.UInt64Val, {}};
        default:
            break;  // arrays too: their flag lies above the type
    }
    return {EventValueType::Other, 0, {}};
}

uint64_t Ticks(const FILETIME& time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// When the record was written, in FILETIME ticks; 0 when the log does not say.
uint64_t Time(const WevtApi& api, EVT_HANDLE context, EVT_HANDLE event) {
    const std::optional<Rendered> time = Render(api, context, event);
    if (!time || time->count != 1) {
        return 0;
    }
    const EVT_VARIANT& value = time->buffer[0];
    FILETIME converted{};
    if (value.Type == EvtVarTypeFileTime) {
        return value.FileTimeVal;
    }
    if (value.Type == EvtVarTypeSysTime && value.SysTimeVal != nullptr &&
        SystemTimeToFileTime(value.SysTimeVal, &converted)) {
        return Ticks(converted);
    }
    return 0;
}

std::optional<VetoEvent> ReadEvent(const WevtApi& api, EVT_HANDLE valuesContext,
                                   EVT_HANDLE timeContext, EVT_HANDLE event) {
    const std::optional<Rendered> values = Render(api, valuesContext, event);
    if (!values) {
        return std::nullopt;
    }
    VetoEvent read;
    for (DWORD i = 0; i < values->count; ++i) {
        read.values.push_back(Value(values->buffer[i], *values));
    }
    read.time = Time(api, timeContext, event);
    return read;
}

}  // namespace

std::vector<VetoEvent> VetoLogWin32::Read() {
    const WevtApi& api = api_ != nullptr ? *api_ : Wevt();
    // Newest first, so the first records read are the ones shown.
    const ScopedEvt query(api, api.query(nullptr, L"System", kVetoQuery,
                                         EvtQueryChannelPath | EvtQueryReverseDirection));
    if (query.Get() == nullptr) {
        ThrowLastError(u"EvtQuery(System)");
    }
    const ScopedEvt values(api, api.createRenderContext(0, nullptr, EvtRenderContextUser));
    LPCWSTR timePath[] = {L"Event/System/TimeCreated/@SystemTime"};
    const ScopedEvt time(api, api.createRenderContext(1, timePath, EvtRenderContextValues));
    if (values.Get() == nullptr || time.Get() == nullptr) {
        ThrowLastError(u"EvtCreateRenderContext");
    }
    std::vector<VetoEvent> events;
    while (events.size() < kMaxVetoEvents) {
        EVT_HANDLE batch[kBatch] = {};
        DWORD returned = 0;
        if (!api.next(query.Get(), kBatch, batch, kNextTimeoutMs, 0, &returned)) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_ITEMS) {
                break;
            }
            throw PlatformError(u"EvtNext(System)", SystemErrorText(error));
        }
        std::vector<ScopedEvt> owned;
        owned.reserve(kBatch);
        for (DWORD i = 0; i < returned && i < kBatch; ++i) {
            owned.emplace_back(api, batch[i]);
        }
        for (const ScopedEvt& event : owned) {
            std::optional<VetoEvent> read = ReadEvent(api, values.Get(), time.Get(), event.Get());
            if (read && events.size() < kMaxVetoEvents) {
                events.push_back(std::move(*read));
            }
        }
    }
    return events;
}

uint64_t VetoLogWin32::Now() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return Ticks(now);
}

// The offset at the record's time, by the time zone's rules for that date: a record from before
// a change of daylight saving time is shown as the clock read then.
int VetoLogWin32::UtcOffsetMinutes(uint64_t ticks) {
    const FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utcTime{};
    SYSTEMTIME localTime{};
    FILETIME local{};
    if (!FileTimeToSystemTime(&utc, &utcTime) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &localTime) ||
        !SystemTimeToFileTime(&localTime, &local)) {
        return 0;
    }
    const auto difference = static_cast<int64_t>(Ticks(local) - ticks);
    return static_cast<int>(difference / (60 * 10'000'000LL));
}

}  // namespace varnel::win32

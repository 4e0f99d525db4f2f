// Windows' record of refused removals: event 225 of Microsoft-Windows-Kernel-PnP in the System
// log ("The application ... with process id ... stopped the removal or ejection for the device
// ..."), as the log renders each record: its values by position and its time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnel {

// The types a rendered value can have that the record is read with; every other type is Other.
enum class EventValueType { Null, String, UInt16, UInt32, UInt64, Other };

struct EventValue {
    EventValueType type = EventValueType::Null;
    uint64_t number = 0;  // the unsigned types
    std::u16string text;  // String
};

struct VetoEvent {
    std::vector<EventValue> values;
    uint64_t time = 0;  // when it was written, in 100-ns ticks since 1601 (UTC); 0 when unknown
};

// The most records one read returns: the newest, which are the ones shown.
inline constexpr size_t kMaxVetoEvents = 256;

class VetoLog {
public:
    virtual ~VetoLog() = default;
    // The records, newest first, at most kMaxVetoEvents. Throws PlatformError saying why when the
    // log cannot be read (no event log service, no access, wevtapi missing).
    virtual std::vector<VetoEvent> Read() = 0;
    // The time now on the clock the records' times are written by, and the local time's offset
    // from UTC in minutes at one of those times (with the daylight saving in force then), for the
    // times shown.
    virtual uint64_t Now() = 0;
    virtual int UtcOffsetMinutes(uint64_t ticks) = 0;
};

}  // namespace varnel

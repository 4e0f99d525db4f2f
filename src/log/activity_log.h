// The activity log (List1) and the status line (panel 2 of S1).
#pragma once

#include <cstdint>
#include <string>

#include "platform/window_services.h"

namespace varnel {

class ActivityLog {
public:
    // The list box addresses its lines with signed 16-bit positions.
    static constexpr int16_t kMaxLines = 32767;
    static constexpr int kStatusPanel = 2;

    ActivityLog(LogList& list, StatusBar& status, TimeOfDay& clock)
        : list_(list), status_(status), clock_(clock) {}

    // Appends "[ " + time + " ]" + message as the last line and selects it. At the bound the
    // oldest line gives way, so the log never outgrows its 16-bit positions.
    void AppendLog(const std::u16string& message);

    // Replaces the text of the status line.
    void SetStatus(const std::u16string& text);

    // The popup item "清空日志": empties the log, then says so on the status line.
    void qk_Click();

private:
    LogList& list_;
    StatusBar& status_;
    TimeOfDay& clock_;
};

// The log line for a message written at the given time text.
std::u16string FormatLogLine(const std::u16string& timeText, const std::u16string& message);

}  // namespace varnel

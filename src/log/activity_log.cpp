#include "log/activity_log.h"

namespace varnel {

std::u16string FormatLogLine(const std::u16string& timeText, const std::u16string& message) {
    return u"[ " + timeText + u" ]" + message;
}

void ActivityLog::AppendLog(const std::u16string& message) {
    const std::u16string line = FormatLogLine(clock_.LongTimeText(), message);
    if (list_.Count() >= kMaxLines) {
        list_.RemoveItem(0);
    }
    list_.AddItem(line);
    // The count is read anew: a nested handler may have cleared the log since the last line.
    const int16_t count = list_.Count();
    if (count > 0) {
        list_.Select(static_cast<int16_t>(count - 1));
    }
}

void ActivityLog::SetStatus(const std::u16string& text) {
    status_.SetPanelText(kStatusPanel, text);
}

void ActivityLog::qk_Click() {
    list_.Clear();
    SetStatus(u"已清空日志...");
}

}  // namespace varnel

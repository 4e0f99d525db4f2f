#include "update/version_check.h"

#include <utility>

#include "platform/platform_error.h"
#include "text/utf8.h"
#include "update/post_form.h"

namespace varnel {
namespace {

constexpr char16_t kFailedText[] = u"检测失败,请先使用当前版本";
constexpr char16_t kUpToDateText[] = u"当前软件为最新版本,欢迎使用Varnel软件..";
constexpr char16_t kWelcomeText[] = u"欢迎使用Varnel软件..";
constexpr char16_t kQuestionHead[] = u"发现最新版本";
constexpr char16_t kQuestionTail[] = u"，是否现在更新?";

bool IsUnreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

bool IsControl(char16_t unit) {
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || unit == 0x2028 || unit == 0x2029;
}

// Unicode's format characters (category Cf) of the Basic Multilingual Plane: they draw nothing,
// yet reorder, join or hide the text around them.
bool IsFormat(char16_t unit) {
    return unit == 0x00AD || (unit >= 0x0600 && unit <= 0x0605) || unit == 0x061C ||
           unit == 0x06DD || unit == 0x070F || unit == 0x08E2 || unit == 0x180E ||
           (unit >= 0x200B && unit <= 0x200F) || (unit >= 0x202A && unit <= 0x202E) ||
           (unit >= 0x2060 && unit <= 0x2064) || (unit >= 0x2066 && unit <= 0x206F) ||
           unit == 0xFEFF || (unit >= 0xFFF9 && unit <= 0xFFFB);
}

// The tags U+E0000..U+E007F (U+E0001 and U+E0020..U+E007F are format characters), as the
// surrogate pair that starts at text[i].
bool IsTag(const std::u16string& text, size_t i) {
    return text[i] == 0xDB40 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
           text[i + 1] <= 0xDC7F;
}

}  // namespace

bool IsPlainText(const std::u16string& text, size_t maxChars) {
    if (text.size() > maxChars) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsControl(text[i]) || IsFormat(text[i]) || IsTag(text, i)) {
            return false;
        }
    }
    return true;
}

std::u16string PercentEncode(const std::u16string& text) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string encoded;
    for (const char byte : ToUtf8(text)) {
        const auto value = static_cast<unsigned char>(byte);
        if (IsUnreserved(value)) {
            encoded.push_back(value);
        } else {
            encoded += {u'%', kHex[value >> 4], kHex[value & 0x0F]};
        }
    }
    return encoded;
}

VersionCheck::VersionCheck(VersionExchange& exchange, const AnsiCodePage& codePage,
                           MessageBoxes& boxes, ActivityLog& log, ProgramStarter& starter,
                           ProcessExit& exit, const WindowPresence& window,
                           std::function<void()> enableButtons, std::function<void()> stopTimer,
                           const Addresses& addresses)
    : exchange_(exchange),
      codePage_(codePage),
      boxes_(boxes),
      log_(log),
      starter_(starter),
      exit_(exit),
      window_(window),
      enableButtons_(std::move(enableButtons)),
      stopTimer_(std::move(stopTimer)),
      serviceAddress_(addresses.serviceBase + kServicePath),
      downloadAddress_(addresses.downloadBase + kDownloadPath) {}

void VersionCheck::Timer1_Timer() {
    if (stage_ != Stage::NotStarted) {
        return;
    }
    stage_ = Stage::Waiting;
    try {
        exchange_.Start(serviceAddress_, FormBody(u"sn=" + std::u16string(kSoftwareId), codePage_));
    } catch (const PlatformError&) {
        OnAnswer(std::nullopt);  // no exchange, no answer: a failed check
    }
}

void VersionCheck::OnAnswer(std::optional<VersionAnswer> answer) {
    if (stage_ != Stage::Waiting) {
        return;  // too late: the check has already failed at its time limit
    }
    stage_ = Stage::Over;
    if (!window_.IsOpen()) {
        return;  // closed meanwhile: the program is ending, nothing more to say
    }
    try {
        Decide(answer);
    } catch (const PlatformError&) {
        // A message box or the program start failed. The window reports the error; the user
        // still gets a usable tool and no second check.
        FinalSteps();
        throw;
    }
}

void VersionCheck::OnTimeLimit() {
    if (stage_ != Stage::Waiting) {
        return;
    }
    exchange_.Abandon();
    OnAnswer(std::nullopt);
}

void VersionCheck::Decide(const std::optional<VersionAnswer>& answer) {
    if (!answer || answer->result == u"0" || !IsPlainText(answer->version, kMaxVersionChars) ||
        !IsPlainText(answer->sid, kMaxSidChars)) {
        boxes_.Show(kFailedText, kBoxTitle, kStyleInfoOk);
    } else if (answer->version == kCurrentVersion) {
        log_.SetStatus(kUpToDateText);
    } else {
        const int reply = boxes_.Show(kQuestionHead + answer->version + kQuestionTail, kBoxTitle,
                                      kStyleInfoYesNo);
        if (reply == kAnswerYes) {
            // Quoted on both sides; the encoded sid holds no quote and no blank.
            starter_.Start(
                SystemProgram::Shell,
                u"explorer.exe \"" + downloadAddress_ + PercentEncode(answer->sid) + u"\"",
                kShowMinimized);
            exit_.EndNow();
        }
        if (answer->must != u"0") {
            exit_.EndNow();  // a mandatory update declined
        }
        log_.SetStatus(kWelcomeText);
    }
    FinalSteps();
}

void VersionCheck::FinalSteps() {
    enableButtons_();
    stopTimer_();
}

}  // namespace varnel

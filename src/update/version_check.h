// The start-up version check, started by the first tick of Timer1. The exchange with the service
// runs away from the window's thread; its one result comes back to the window, which hands it to
// the check, and the check decides what the user sees.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "log/activity_log.h"
#include "platform/processes.h"
#include "platform/text_code_page.h"
#include "platform/window_services.h"
#include "update/version_answer.h"
#include "varnel_version.h"

namespace varnel {

// The check's exchange with the version service, run off the window's thread.
class VersionExchange {
public:
    virtual ~VersionExchange() = default;
    // Starts posting the form body to address and returns at once. The exchange's one result,
    // the answer or none for any failure, reaches VersionCheck::OnAnswer later on the window's
    // thread; if none has come by the time limit, the window calls VersionCheck::OnTimeLimit.
    // Throws PlatformError when the exchange cannot be started.
    virtual void Start(const std::u16string& address, const std::string& body) = 0;
    // Gives the running exchange up: its result, whenever it comes, is dropped unseen.
    virtual void Abandon() = 0;
};

class VersionCheck {
public:
    static constexpr char16_t kCurrentVersion[] = VARNEL_VERSION_U16;
    static constexpr char16_t kSoftwareId[] = u"kesto";
    static constexpr char16_t kServicePath[] = u"/index.php/Index/soft_version";
    static constexpr char16_t kDownloadPath[] = u"/index.php/Works/detail/sid/";

    // What an answer may carry to be shown or used; anything longer, or with a control
    // character, counts as a failed check.
    static constexpr size_t kMaxVersionChars = 64;
    static constexpr size_t kMaxSidChars = 256;

    // The service's and the download site's addresses: scheme, host and optional port, without
    // a trailing "/".
    struct Addresses {
        std::u16string serviceBase;
        std::u16string downloadBase;
    };

    VersionCheck(VersionExchange& exchange, const AnsiCodePage& codePage, MessageBoxes& boxes,
                 ActivityLog& log, ProgramStarter& starter, ProcessExit& exit,
                 const WindowPresence& window, std::function<void()> enableButtons,
                 std::function<void()> stopTimer, const Addresses& addresses);

    // Starts the one exchange of the program's run and returns. Any later tick starts nothing:
    // the check may still be waiting for the service, or for the user in one of its boxes.
    void Timer1_Timer();

    // The exchange's result: acted on if the check still waits for it and the window is open,
    // ignored otherwise (it came after the time limit, or the program is ending).
    void OnAnswer(std::optional<VersionAnswer> answer);

    // No result in time: the exchange is given up and the check has failed.
    void OnTimeLimit();

private:
    enum class Stage { NotStarted, Waiting, Over };

    void Decide(const std::optional<VersionAnswer>& answer);
    void FinalSteps();

    VersionExchange& exchange_;
    const AnsiCodePage& codePage_;
    MessageBoxes& boxes_;
    ActivityLog& log_;
    ProgramStarter& starter_;
    ProcessExit& exit_;
    const WindowPresence& window_;
    std::function<void()> enableButtons_;
    std::function<void()> stopTimer_;
    std::u16string serviceAddress_;
    std::u16string downloadAddress_;
    Stage stage_ = Stage::NotStarted;
};

// Whether text from the service may be shown or used: at most maxChars UTF-16 units and no
// control character (C0, DEL, C1), line or paragraph separator, or invisible format character
// (bidirectional marks and overrides, zero-width characters, the soft hyphen, the byte order
// mark, tags), any of which could fake or hide text in a box or on a command line.
bool IsPlainText(const std::u16string& text, size_t maxChars);

// Percent-encodes every byte of the text's UTF-8 form outside A-Z a-z 0-9 - . _ ~, so a value
// from the network can neither end the quoted address nor add arguments to a command line.
std::u16string PercentEncode(const std::u16string& text);

}  // namespace varnel

// The start-up version check, run by the first tick of Timer1.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "log/activity_log.h"
#include "platform/processes.h"
#include "platform/window_services.h"
#include "update/post_form.h"
#include "varnel_version.h"

namespace varnel {

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

    VersionCheck(const FormPoster& poster, MessageBoxes& boxes, ActivityLog& log,
                 ProgramStarter& starter, ProcessExit& exit, const WindowPresence& window,
                 std::function<void()> enableButtons, std::function<void()> stopTimer,
                 const Addresses& addresses);

    // Asks the version service once and acts on its answer. Any tick after the first starts
    // nothing: the check may still be waiting for the user in one of its message boxes, or for
    // the service while the window handles its events. When the window has been closed by the
    // time the exchange ends, the answer is ignored.
    void Timer1_Timer();

private:
    void RunCheck();
    void FinalSteps();

    const FormPoster& poster_;
    MessageBoxes& boxes_;
    ActivityLog& log_;
    ProgramStarter& starter_;
    ProcessExit& exit_;
    const WindowPresence& window_;
    std::function<void()> enableButtons_;
    std::function<void()> stopTimer_;
    std::u16string serviceAddress_;
    std::u16string downloadAddress_;
    bool started_ = false;
};

// Whether text from the service may be shown or used: at most maxChars UTF-16 units and no
// control character (C0, DEL, C1), line or paragraph separator, or bidirectional override, any
// of which could fake or hide text in a box or on a command line.
bool IsPlainText(const std::u16string& text, size_t maxChars);

// Percent-encodes every byte of the text's UTF-8 form outside A-Z a-z 0-9 - . _ ~, so a value
// from the network can neither end the quoted address nor add arguments to a command line.
std::u16string PercentEncode(const std::u16string& text);

}  // namespace varnel

// The start-up version check, run by the first tick of Timer1.
#pragma once

#include <functional>
#include <string>

#include "build_config.h"
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

    // serviceBase and downloadBase are scheme, host and optional port, without a trailing "/".
    VersionCheck(const FormPoster& poster, MessageBoxes& boxes, ActivityLog& log,
                 ProgramStarter& starter, ProcessExit& exit, std::function<void()> enableButtons,
                 std::function<void()> stopTimer,
                 std::u16string serviceBase = VARNEL_VERSION_SERVICE,
                 std::u16string downloadBase = VARNEL_DOWNLOAD_SITE);

    // Asks the version service once and acts on its answer. Any tick after the first starts
    // nothing: the check may still be waiting for the user in one of its message boxes.
    void Timer1_Timer();

private:
    void RunCheck();
    void FinalSteps();

    const FormPoster& poster_;
    MessageBoxes& boxes_;
    ActivityLog& log_;
    ProgramStarter& starter_;
    ProcessExit& exit_;
    std::function<void()> enableButtons_;
    std::function<void()> stopTimer_;
    std::u16string serviceAddress_;
    std::u16string downloadAddress_;
    bool started_ = false;
};

// Percent-encodes every byte of the text's UTF-8 form outside A-Z a-z 0-9 - . _ ~, so a value
// from the network can neither end the quoted address nor add arguments to a command line.
std::u16string PercentEncode(const std::u16string& text);

}  // namespace varnel

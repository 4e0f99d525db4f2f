#include "repair/one_click_repair.h"

#include "platform/platform_error.h"
#include "repair/kill_process.h"
#include "repair/repair_texts.h"

namespace varnel {

using namespace repair_texts;

namespace {

// Holds a button disabled for as long as it lives. Enable() ends the hold early; Abandon() drops
// it without touching the button (for when the button has gone with its window).
class DisabledButton {
public:
    explicit DisabledButton(Button& button) : button_(&button) { button_->SetEnabled(false); }
    ~DisabledButton() { Enable(); }
    DisabledButton(const DisabledButton&) = delete;
    DisabledButton& operator=(const DisabledButton&) = delete;

    void Enable() {
        if (button_ != nullptr) {
            Button* button = button_;
            button_ = nullptr;
            button->SetEnabled(true);
        }
    }
    void Abandon() { button_ = nullptr; }

private:
    Button* button_;
};

}  // namespace

void OneClickRepair::Command4_Click() {
    if (boxes_.Show(u"是否确定进行一键强力修复?", kBoxTitle, kStyleInfoYesNo) != kAnswerYes) {
        return;
    }
    DisabledButton disabled(command4_);
    bool shellDown = false;  // ended by this sequence and not yet started again

    // Pauses; true when the sequence may go on. A closed window (or a quit request) ends it
    // here, putting the shell back first if this sequence took it away.
    auto pause = [&](int16_t ms) {
        if (wait_.WaitMs(ms) && window_.IsOpen()) {
            return true;
        }
        disabled.Abandon();
        if (shellDown) {
            starter_.Start(SystemProgram::Shell, kShellCommandLine, kShowMinimized);
        }
        return false;
    };
    // Runs one step; a failure is shown and the sequence goes on with the next step, so that one
    // holder that cannot be released (a clipboard another program keeps open) does not keep the
    // others. The failed step writes no log line: it did not do what the line would say.
    auto step = [&](auto&& action) {
        try {
            action();
            return true;
        } catch (const PlatformError& failure) {
            boxes_.Show(FailureText(failure), kBoxTitle, kStyleErrorOk);
            return false;
        }
    };

    log_.AppendLog(u"正进行一键强力修复...");
    if (!pause(2000))
        return;

    if (step([&] { clipboard_.Empty(); }))
        log_.AppendLog(kLogClipboardCleared);
    if (!pause(2000))
        return;

    KillProcess(processes_, kRelatedProcess);
    log_.AppendLog(kLogRelatedProcessesCleared);
    if (!pause(3000))
        return;

    KillProcess(processes_, kShell);
    shellDown = true;
    log_.AppendLog(u"已清除Explorer,正在重启...");
    if (!pause(2000))
        return;

    if (step([&] { starter_.Start(SystemProgram::Shell, kShellCommandLine, kShowMinimized); })) {
        shellDown = false;
        log_.AppendLog(kLogShellRestarted);
    }
    if (!pause(2000))
        return;

    log_.AppendLog(u"一键强力修复完毕...");
    log_.AppendLog(u"您可以尝试移除移动设备...");
    if (!pause(1000))
        return;

    // Enabled before the dialog starts, so a failing start leaves the button usable too.
    disabled.Enable();
    step([&] { starter_.Start(SystemProgram::Rundll32, kSafeRemovalCommandLine, kShowNormal); });
}

}  // namespace varnel

#include "repair/single_actions.h"

#include "platform/platform_error.h"
#include "repair/kill_process.h"
#include "repair/repair_texts.h"

namespace varnel {

using namespace repair_texts;

void SingleActions::Report(const std::u16string& status, const std::u16string& logMessage) {
    log_.SetStatus(status);
    log_.AppendLog(logMessage);
}

void SingleActions::Command1_Click() {
    clipboard_.Empty();
    Report(u"已清空剪贴板,您可尝试移除移动设备...", kLogClipboardCleared);
}

void SingleActions::Command2_Click() {
    KillProcess(processes_, kRelatedProcess);
    Report(u"已清除相关进程,您可尝试移除移动设备...", kLogRelatedProcessesCleared);
}

void SingleActions::Command3_Click() {
    if (command3_.Caption() == kCommand3Stop) {
        KillProcess(processes_, kShell);
        shellStopped_ = true;
        Report(u"已清除Explorer,请点击重启Explorer...", u"已清除Explorer...");
        command3_.SetCaption(std::u16string(kCommand3Restart));
    } else if (command3_.Caption() == kCommand3Restart) {
        command3_.SetCaption(std::u16string(kCommand3Stop));
        starter_.Start(SystemProgram::Shell, kShellCommandLine, kShowMinimized);
        shellStopped_ = false;
        Report(u"已重启Explorer,您可尝试移除移动设备...", kLogShellRestarted);
    }
}

void SingleActions::Command5_Click() {
    starter_.Start(SystemProgram::Rundll32, kSafeRemovalCommandLine, kShowNormal);
}

void SingleActions::RestoreShell() {
    if (!shellStopped_) {
        return;
    }
    bool shellRuns = false;
    try {
        shellRuns = IsRunning(processes_, kShell);
    } catch (const PlatformError&) {
        // Unknown: started all the same, as a second shell costs a window and none costs the
        // taskbar and the desktop.
    }
    if (!shellRuns) {
        shellStopped_ = false;
        starter_.Start(SystemProgram::Shell, kShellCommandLine, kShowMinimized);
    }
}

}  // namespace varnel

#include "holders/console_commands.h"

#include <exception>
#include <future>

#include "holders/arguments.h"
#include "holders/collect_holders.h"
#include "holders/console_run.h"
#include "holders/drive_look.h"
#include "holders/eject_plans.h"
#include "holders/explorer_windows.h"
#include "holders/holder_texts.h"
#include "holders/report_json.h"
#include "holders/report_text.h"
#include "holders/veto_record.h"
#include "holders/visible_text.h"
#include "holders/volume_users.h"
#include "platform/platform_error.h"
#include "text/utf8.h"

namespace varnel::holders {
namespace {

const char* CommandName(CommandKind kind) {
    static const char* const kNames[] = {"help", "list", "who", "free", "eject", "why"};
    return kNames[static_cast<int>(kind)];
}

// An error ends every command the same way: with --json one object on standard output (with the
// command when it is known), otherwise the message and what follows it on standard error.
int PrintError(bool json, const char* command, const std::u16string& message,
               const std::u16string& after, ConsoleOutput& output) {
    if (!json) {
        output.Err(message + u"\n" + after);
        return kExitError;
    }
    Json object = Json::object();
    if (command != nullptr) {
        object["command"] = command;
    }
    object["error"] = ToUtf8(message);
    object["exit_code"] = int{kExitError};
    output.Out(FromUtf8(object.dump(2)) + u"\n");
    return kExitError;
}

}  // namespace

int ConsoleRun::Run() {
    try {
        return Dispatch();
    } catch (const PlatformError& error) {
        return Fail(u"操作失败：" + error.Operation() + u" / " + error.Detail());
    } catch (const std::exception& error) {
        // Anything unexpected (memory exhausted, ...) still answers in the form asked for.
        return Fail(u"内部错误: " + FromUtf8(error.what()));
    }
}

int ConsoleRun::Dispatch() {
    if (command_.kind == CommandKind::Help) {
        return Print({{"command", "help"}, {"usage", ToUtf8(kUsage)}}, kUsage, kExitClear);
    }
    if (command_.kind == CommandKind::List) {
        const std::vector<DriveInfo> drives = services_.drives.List();
        return Print(ListJson(drives), ListText(drives), kExitClear);
    }
    if (command_.kind == CommandKind::Eject && command_.all) {
        return EjectAll();
    }
    drive_ = {command_.letter, services_.drives.DeviceName(command_.letter)};
    if (drive_.device.empty()) {
        return Fail(u"驱动器 " + DriveText(command_.letter) + u" 不存在。");
    }
    if (IsSubstitute(drive_.device)) {
        return Fail(DriveText(command_.letter) + u" 是 SUBST 映射的驱动器(对应 " +
                    VisibleText(drive_.device) +
                    u"),没有自己的设备名;请对它所在的驱动器使用本命令。");
    }
    if (command_.kind == CommandKind::Why) {
        return WhyCommand();
    }
    if (command_.kind == CommandKind::Who) {
        return Who();
    }
    if (command_.kind == CommandKind::Free) {
        const FreeOutcome outcome = Free();
        Json json = FreeJson(command_.letter, outcome);
        json["file_system_list"] = FileSystemListName(fileSystemList_);
        return Print(json, FreeText(command_.letter, outcome), FreeExitCode(outcome));
    }
    return Eject();
}

void ConsoleRun::Show(const std::u16string& text) {
    if (!command_.json) {
        services_.output.Out(text);
    }
}

void ConsoleRun::ShowError(const std::u16string& text) {
    if (!command_.json) {
        services_.output.Err(text);
    }
}

int ConsoleRun::WhyCommand() {
    const WhyAnswer answer = Why(command_.letter, services_.vetoes, Lookup());
    if (answer.exitCode == kExitError && !command_.json) {
        services_.output.Err(answer.text);
        return kExitError;
    }
    return Print(answer.json, answer.text, answer.exitCode);
}

int ConsoleRun::Who() {
    // The shell answers from Explorer's process, slowly at its first question: it is asked
    // while the processes are looked at, not after (after only when no thread is to be had).
    std::future<std::vector<ShellWindow>> shellWindows = std::async(
        std::launch::async | std::launch::deferred, [this] { return services_.shell.List(); });
    const HolderReport report = Look();
    std::vector<ShellWindow> windows;
    std::u16string shellError;
    try {
        windows = WindowsOnDrive(shellWindows.get(), command_.letter);
    } catch (const PlatformError& error) {
        shellError = error.Operation() + u" / " + error.Detail();
    }
    const std::u16string lastVeto = LastVeto();
    Json json = WhoJson(command_.letter, report);
    json["file_system_list"] = FileSystemListName(fileSystemList_);
    json["explorer_windows"] = ExplorerWindowsJson(windows);
    if (!shellError.empty()) {
        json["explorer_windows_error"] = ToUtf8(shellError);
    }
    json["last_veto"] = ToUtf8(lastVeto);
    const std::u16string text = (lastVeto.empty() ? u"" : lastVeto + u"\n") +
                                WhoText(command_.letter, report, ExplorerWindowLines(windows)) +
                                ShellErrorLine(shellError);
    return Print(json, text, windows.empty() ? WhoExitCode(report) : int{kExitHeld});
}

HolderReport ConsoleRun::Look() {
    DriveLook look = LookAtHolders(drive_, services_.scanner, services_.drives,
                                   services_.volumeUsers, services_.processes);
    fileSystemList_ = look.fileSystemList;
    return std::move(look.report);
}

// Explorer's windows go first, through the shell, so that explorer.exe is neither asked nor
// ended for a folder it only shows.
FreeOutcome ConsoleRun::Free() {
    WindowsClosing windows = CloseExplorerWindows(services_.shell, drive_.letter, services_.clock);
    FreeOutcome outcome =
        FreeDrive([this] { return Look(); }, services_.processes, services_.starter,
                  services_.clock, {command_.kill, command_.waitSeconds});
    outcome.windows = std::move(windows);
    return outcome;
}

VetoLookup ConsoleRun::Lookup() {
    return VetoLookupOf(command_.letter, services_.devices, services_.drives, services_.processes);
}

// The newest veto of the drive, shown above who's list; left out when it cannot be had, as
// who is about the holders.
std::u16string ConsoleRun::LastVeto() {
    return NewestVetoLine(command_.letter, services_.vetoes, services_.devices, services_.drives,
                          services_.processes);
}

int ConsoleRun::Print(Json json, const std::u16string& text, int exitCode) {
    if (command_.json) {
        json["exit_code"] = exitCode;
        services_.output.Out(FromUtf8(json.dump(2)) + u"\n");
    } else {
        services_.output.Out(text);
    }
    return exitCode;
}

int ConsoleRun::Fail(const std::u16string& message) {
    return PrintError(command_.json, CommandName(command_.kind), message, u"", services_.output);
}

int WhoExitCode(const HolderReport& report) {
    if (!report.holders.empty()) {
        return kExitHeld;
    }
    return report.uninspected > 0 ? kExitIncomplete : kExitClear;
}

int FreeExitCode(const FreeOutcome& outcome) {
    if (!outcome.left.empty() || !outcome.windows.left.empty()) {
        return kExitHeld;
    }
    return outcome.uninspected > 0 ? kExitIncomplete : kExitClear;
}

int EjectExitCode(const EjectOutcome& outcome) {
    switch (outcome.result) {
        case EjectResult::Ejected:
            return kExitClear;
        case EjectResult::Vetoed:
            return kExitHeld;
        case EjectResult::DeviceNotFound:
            break;
    }
    return kExitError;
}

int RunConsole(const std::vector<std::u16string>& arguments, ConsoleServices& services) {
    const ParsedArguments parsed = ParseArguments(arguments);
    if (parsed.problem != ArgumentProblem::None) {
        return PrintError(parsed.command.json,
                          parsed.named ? CommandName(parsed.command.kind) : nullptr,
                          ArgumentError(parsed.problem, parsed.word), kUsage, services.output);
    }
    return ConsoleRun(parsed.command, services).Run();
}

}  // namespace varnel::holders

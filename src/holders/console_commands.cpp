#include "holders/console_commands.h"

#include <exception>
#include <future>
#include <map>
#include <optional>

#include "holders/arguments.h"
#include "holders/collect_holders.h"
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

class Runner {
public:
    Runner(const Command& command, ConsoleServices& services)
        : command_(command), services_(services) {}

    int Run() {
        try {
            return Dispatch();
        } catch (const PlatformError& error) {
            return Fail(u"操作失败：" + error.Operation() + u" / " + error.Detail());
        } catch (const std::exception& error) {
            // Anything unexpected (memory exhausted, ...) still answers in the form asked for.
            return Fail(u"内部错误: " + FromUtf8(error.what()));
        }
    }

private:
    int Dispatch() {
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

    // One drive's eject: its JSON and exit code. Its text is shown as it goes (standard error
    // for an error), since a wait or a question can come in between.
    struct Ejected {
        Json json;
        int exitCode = kExitClear;
    };

    int Eject() {
        Ejected ejected = EjectOne(command_.letter);
        if (command_.json) {
            ejected.json["exit_code"] = ejected.exitCode;
            services_.output.Out(FromUtf8(ejected.json.dump(2)) + u"\n");
        }
        return ejected.exitCode;
    }

    // Every removable and external drive as eject X: would do it, one after another; the run
    // ends with the worst of their exit codes.
    int EjectAll() {
        const std::vector<PlannedEject> plan = PlanEjectAll(
            WithoutSubstitutes(services_.drives.List(), services_.drives), services_.devices);
        if (plan.empty()) {
            return Print({{"command", "eject"}, {"all", true}, {"drives", Json::array()}},
                         ListText({}), kExitClear);
        }
        Json results = Json::array();
        std::vector<int> codes;
        std::map<char16_t, int> codeOf;
        for (const PlannedEject& planned : plan) {
            Ejected ejected;
            if (planned.sameDeviceAs != 0) {
                Show(SameDeviceText(planned.letter, planned.sameDeviceAs));
                ejected.json = {{"command", "eject"},
                                {"drive", ToUtf8(DriveText(planned.letter))},
                                {"result", "same_device"},
                                {"same_device_as", ToUtf8(DriveText(planned.sameDeviceAs))}};
                ejected.exitCode = codeOf[planned.sameDeviceAs];
            } else {
                ejected = EjectListed(planned.letter);
            }
            codeOf[planned.letter] = ejected.exitCode;
            codes.push_back(ejected.exitCode);
            ejected.json["exit_code"] = ejected.exitCode;
            results.push_back(std::move(ejected.json));
        }
        const int exitCode = WorstExitCode(codes);
        if (command_.json) {
            Json json = {{"command", "eject"}, {"all", true}, {"drives", results}};
            json["exit_code"] = exitCode;
            services_.output.Out(FromUtf8(json.dump(2)) + u"\n");
        }
        return exitCode;
    }

    // A drive of the list; its failure is its own, and the next drive is still ejected.
    Ejected EjectListed(char16_t letter) {
        std::u16string error;
        try {
            drive_ = {letter, services_.drives.DeviceName(letter)};
            if (!drive_.device.empty()) {
                return EjectOne(letter);
            }
            error = u"驱动器 " + DriveText(letter) + u" 不存在。";
        } catch (const PlatformError& failure) {
            error = u"操作失败：" + failure.Operation() + u" / " + failure.Detail();
        }
        ShowError(error + u"\n");
        return {
            {{"command", "eject"}, {"drive", ToUtf8(DriveText(letter))}, {"error", ToUtf8(error)}},
            kExitError};
    }

    Ejected EjectOne(char16_t letter) {
        if (command_.media) {
            return EjectMediumOnly(letter);
        }
        if (command_.force) {
            // Before any request: the system's, a page file's and an internal disk's volume are
            // never forced, and need not be asked for at all.
            const Refusal refusal = RefusalFor(services_.volumes.Describe(letter));
            if (refusal != Refusal::None) {
                return Refused(letter, refusal);
            }
        }
        const bool cardReader = IsCardReader(letter);
        std::optional<FreeOutcome> freed;
        if (command_.free) {
            freed = Free();
            Show(FreeText(letter, *freed));
        }
        HolderReport after;
        EjectOutcome outcome;
        if (command_.ejectWaitSeconds) {
            Show(u"正在弹出 " + DriveText(letter) + u",被拒绝时最多等待 " +
                 Number(*command_.ejectWaitSeconds) + u" 秒...\n");
            outcome = EjectWaiting(
                letter, services_.devices, services_.clock, *command_.ejectWaitSeconds,
                [this] { return Look(); },
                [&](const HolderReport& now) {
                    after = now;
                    Show(WhoText(letter, now));
                });
        } else {
            outcome = EjectDrive(letter, services_.devices, services_.clock);
            if (outcome.result == EjectResult::Vetoed) {
                after = Look();
            }
        }
        Json json = EjectJson(letter, outcome, after);
        if (freed) {
            json["free"] = FreeJson(letter, *freed);
        }
        const std::u16string text = EjectText(letter, outcome, after);
        if (outcome.result == EjectResult::DeviceNotFound) {
            ShowError(text);
            return {json, kExitError};
        }
        Show(text);
        if (cardReader) {
            Show(CardReaderHint(letter));
            json["card_reader"] = true;
        }
        if (command_.force && outcome.result == EjectResult::Vetoed) {
            return Force(letter, std::move(json));
        }
        return {json, EjectExitCode(outcome)};
    }

    // A drive whose kind cannot be told is ejected as any other, without the hint.
    bool IsCardReader(char16_t letter) {
        try {
            return services_.volumes.Describe(letter).cardReader;
        } catch (const PlatformError&) {
            return false;
        }
    }

    Ejected Refused(char16_t letter, Refusal refusal) {
        const std::u16string text = RefusalText(letter, refusal);
        ShowError(text + u"\n");
        return {{{"command", "eject"},
                 {"drive", ToUtf8(DriveText(letter))},
                 {"refusal", RefusalName(refusal)},
                 {"error", ToUtf8(text)}},
                kExitError};
    }

    // After a veto: lock, or with the person's consent dismount, then eject.
    Ejected Force(char16_t letter, Json json) {
        const EjectSteps steps =
            ForceEject(letter, services_.volumes, services_.devices, services_.clock,
                       [this, letter] { return ConfirmDismount(letter); });
        HolderReport after;
        if (steps.eject && steps.eject->result == EjectResult::Vetoed) {
            after = Look();
        }
        Show(StepLines(steps) + (steps.eject ? EjectText(letter, *steps.eject, after) : u""));
        json["force"] = StepsJson(letter, steps, after);
        return {json, steps.eject ? EjectExitCode(*steps.eject) : kExitHeld};
    }

    // --yes agrees; JSON's reader is a program and is never asked; otherwise the person is.
    bool ConfirmDismount(char16_t letter) {
        if (command_.yes) {
            return true;
        }
        if (command_.json) {
            return false;
        }
        return services_.input.AskYesNo(ForceQuestion(letter, Look().holders) + u" (y/N)");
    }

    Ejected EjectMediumOnly(char16_t letter) {
        const EjectSteps steps = EjectMedium(letter, services_.volumes, services_.clock);
        if (steps.refusal != Refusal::None) {
            return Refused(letter, steps.refusal);
        }
        const bool held = steps.steps.back() == EjectStep::LockRefused;
        const HolderReport holders = held ? Look() : HolderReport{};
        Show(StepLines(steps) + (held ? WhoText(letter, holders) : u""));
        Json json = {{"command", "eject"}, {"drive", ToUtf8(DriveText(letter))}, {"media", true}};
        json.update(StepsJson(letter, steps, holders));
        return {json, held ? kExitHeld : kExitClear};
    }

    static std::u16string StepLines(const EjectSteps& steps) {
        std::u16string text;
        for (const EjectStep step : steps.steps) {
            text += StepText(step) + u"\n";
        }
        return text;
    }

    void Show(const std::u16string& text) {
        if (!command_.json) {
            services_.output.Out(text);
        }
    }

    void ShowError(const std::u16string& text) {
        if (!command_.json) {
            services_.output.Err(text);
        }
    }

    int WhyCommand() {
        const WhyAnswer answer = Why(command_.letter, services_.vetoes, Lookup());
        if (answer.exitCode == kExitError && !command_.json) {
            services_.output.Err(answer.text);
            return kExitError;
        }
        return Print(answer.json, answer.text, answer.exitCode);
    }

    int Who() {
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

    // The holders the handle scan found, followed by the processes only the file system's list
    // names (when the list can be trusted). The drive looked at: with eject --all, one of the
    // list, not the command's letter.
    HolderReport Look() {
        DriveLook look = LookAtHolders(drive_, services_.scanner, services_.drives,
                                       services_.volumeUsers, services_.processes);
        fileSystemList_ = look.fileSystemList;
        return std::move(look.report);
    }

    // Explorer's windows go first, through the shell, so that explorer.exe is neither asked nor
    // ended for a folder it only shows.
    FreeOutcome Free() {
        WindowsClosing windows =
            CloseExplorerWindows(services_.shell, drive_.letter, services_.clock);
        FreeOutcome outcome =
            FreeDrive([this] { return Look(); }, services_.processes, services_.starter,
                      services_.clock, {command_.kill, command_.waitSeconds});
        outcome.windows = std::move(windows);
        return outcome;
    }

    VetoLookup Lookup() {
        return VetoLookupOf(command_.letter, services_.devices, services_.drives,
                            services_.processes);
    }

    // The newest veto of the drive, shown above who's list; left out when it cannot be had, as
    // who is about the holders.
    std::u16string LastVeto() {
        return NewestVetoLine(command_.letter, services_.vetoes, services_.devices,
                              services_.drives, services_.processes);
    }

    int Print(Json json, const std::u16string& text, int exitCode) {
        if (command_.json) {
            json["exit_code"] = exitCode;
            services_.output.Out(FromUtf8(json.dump(2)) + u"\n");
        } else {
            services_.output.Out(text);
        }
        return exitCode;
    }

    int Fail(const std::u16string& message) {
        return PrintError(command_.json, CommandName(command_.kind), message, u"",
                          services_.output);
    }

    const Command& command_;
    ConsoleServices& services_;
    DriveNames drive_;
    FileSystemList fileSystemList_ = FileSystemList::None;  // as the last look found it
};

}  // namespace

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
    return Runner(parsed.command, services).Run();
}

}  // namespace varnel::holders

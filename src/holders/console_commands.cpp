#include "holders/console_commands.h"

#include <exception>
#include <optional>

#include "holders/arguments.h"
#include "holders/collect_holders.h"
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

    int Eject() {
        std::optional<FreeOutcome> freed;
        if (command_.free) {
            freed = Free();
            if (!command_.json) {
                services_.output.Out(FreeText(command_.letter, *freed));
            }
        }
        const EjectOutcome outcome =
            EjectDrive(command_.letter, services_.devices, services_.clock);
        const HolderReport after = outcome.result == EjectResult::Vetoed ? Look() : HolderReport{};
        Json json = EjectJson(command_.letter, outcome, after);
        if (freed) {
            json["free"] = FreeJson(command_.letter, *freed);
        }
        const std::u16string text = EjectText(command_.letter, outcome, after);
        if (outcome.result == EjectResult::DeviceNotFound && !command_.json) {
            services_.output.Err(text);
            return kExitError;
        }
        return Print(json, text, EjectExitCode(outcome));
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
        const HolderReport report = Look();
        std::vector<ShellWindow> windows;
        std::u16string shellError;
        try {
            windows = WindowsOnDrive(services_.shell.List(), command_.letter);
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
    // names (when the list can be trusted).
    HolderReport Look() {
        const std::vector<ProcessView> views = services_.scanner.Scan();
        HolderReport report = CollectHolders(views, drive_, [this](const std::u16string& p) {
            return services_.drives.IsFolder(p);
        });
        const std::optional<std::vector<uint32_t>> ids =
            services_.volumeUsers.ProcessIds(command_.letter);
        const VolumeUsers users = MergeVolumeUsers(
            ids, views, report, ids ? services_.processes.Snapshot() : std::vector<ProcessRecord>{},
            command_.letter);
        fileSystemList_ = users.list;
        report.holders.insert(report.holders.end(), users.unknown.begin(), users.unknown.end());
        return report;
    }

    // Explorer's windows go first, through the shell, so that explorer.exe is neither asked nor
    // ended for a folder it only shows.
    FreeOutcome Free() {
        WindowsClosing windows =
            CloseExplorerWindows(services_.shell, command_.letter, services_.clock);
        FreeOutcome outcome =
            FreeDrive([this] { return Look(); }, services_.processes, services_.starter,
                      services_.clock, {command_.kill, command_.waitSeconds});
        outcome.windows = std::move(windows);
        return outcome;
    }

    // What the vetoes in the System log are matched against: the drive's devices, every letter's
    // device name and the processes running now.
    VetoLookup Lookup() {
        VetoLookup lookup{
            services_.devices.DeviceChain(command_.letter), {}, services_.processes.Snapshot()};
        for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
            std::u16string device = services_.drives.DeviceName(letter);
            if (!device.empty()) {
                lookup.dosDevices.push_back({letter, std::move(device)});
            }
        }
        return lookup;
    }

    // The newest veto of the drive, shown above who's list; left out when it cannot be had, as
    // who is about the holders.
    std::u16string LastVeto() {
        try {
            return LastVetoLine(command_.letter, services_.vetoes, Lookup());
        } catch (const PlatformError&) {
            return {};
        }
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

#include "holders/console_commands.h"

#include <exception>
#include <optional>

#include "holders/arguments.h"
#include "holders/collect_holders.h"
#include "holders/holder_texts.h"
#include "holders/report_json.h"
#include "holders/report_text.h"
#include "holders/visible_text.h"
#include "platform/platform_error.h"
#include "text/utf8.h"

namespace varnel::holders {
namespace {

const char* CommandName(CommandKind kind) {
    static const char* const kNames[] = {"help", "list", "who", "free", "eject"};
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
        if (command_.kind == CommandKind::Who) {
            const HolderReport report = Look();
            return Print(WhoJson(command_.letter, report), WhoText(command_.letter, report),
                         WhoExitCode(report));
        }
        if (command_.kind == CommandKind::Free) {
            const FreeOutcome outcome = Free();
            return Print(FreeJson(command_.letter, outcome), FreeText(command_.letter, outcome),
                         FreeExitCode(outcome));
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

    HolderReport Look() {
        return CollectHolders(services_.scanner.Scan(), drive_, [this](const std::u16string& p) {
            return services_.drives.IsFolder(p);
        });
    }

    FreeOutcome Free() {
        return FreeDrive([this] { return Look(); }, services_.processes, services_.starter,
                         services_.clock, {command_.kill, command_.waitSeconds});
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
};

}  // namespace

int WhoExitCode(const HolderReport& report) {
    if (!report.holders.empty()) {
        return kExitHeld;
    }
    return report.uninspected > 0 ? kExitIncomplete : kExitClear;
}

int FreeExitCode(const FreeOutcome& outcome) {
    if (!outcome.left.empty()) {
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

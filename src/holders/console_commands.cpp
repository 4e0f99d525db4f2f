#include "holders/console_commands.h"

#include <optional>

#include "holders/arguments.h"
#include "holders/collect_holders.h"
#include "holders/holder_texts.h"
#include "holders/report_json.h"
#include "holders/report_text.h"
#include "platform/platform_error.h"
#include "update/utf8.h"

namespace varnel::holders {
namespace {

const char* CommandName(CommandKind kind) {
    static const char* const kNames[] = {"help", "list", "who", "free", "eject"};
    return kNames[static_cast<int>(kind)];
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
        }
    }

private:
    int Dispatch() {
        if (command_.kind == CommandKind::Help) {
            services_.output.Out(kUsage);
            return kExitClear;
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
                        drive_.device + u"),没有自己的设备名;请对它所在的驱动器使用本命令。");
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
        if (command_.json) {
            const Json json = {{"command", CommandName(command_.kind)},
                               {"error", ToUtf8(message)},
                               {"exit_code", int{kExitError}}};
            services_.output.Out(FromUtf8(json.dump(2)) + u"\n");
        } else {
            services_.output.Err(message + u"\n");
        }
        return kExitError;
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
    const std::optional<Command> command = ParseArguments(arguments);
    if (!command) {
        services.output.Err(std::u16string(u"参数错误。\n") + kUsage);
        return kExitError;
    }
    return Runner(*command, services).Run();
}

}  // namespace varnel::holders

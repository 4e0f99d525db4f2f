#include "holders/console_run.h"

#include <map>
#include <optional>

#include "holders/eject_policy.h"
#include "holders/holder_texts.h"
#include "holders/report_text.h"
#include "platform/platform_error.h"
#include "text/utf8.h"

namespace varnel::holders {

int ConsoleRun::Eject() {
    Ejected ejected = EjectOne(command_.letter);
    if (command_.json) {
        ejected.json["exit_code"] = ejected.exitCode;
        services_.output.Out(FromUtf8(ejected.json.dump(2)) + u"\n");
    }
    return ejected.exitCode;
}

// Every removable and external drive as eject X: would do it, one after another; the run
// ends with the worst of their exit codes.
int ConsoleRun::EjectAll() {
    const std::vector<PlannedEject> plan = PlanEjectAll(
        WithoutSubstitutes(services_.drives.List(), services_.drives), services_.devices);
    if (plan.empty()) {
        return Print({{"command", "eject"}, {"all", true}, {"drives", Json::array()}}, ListText({}),
                     kExitClear);
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
ConsoleRun::Ejected ConsoleRun::EjectListed(char16_t letter) {
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
    return {{{"command", "eject"}, {"drive", ToUtf8(DriveText(letter))}, {"error", ToUtf8(error)}},
            kExitError};
}

ConsoleRun::Ejected ConsoleRun::EjectOne(char16_t letter) {
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
bool ConsoleRun::IsCardReader(char16_t letter) {
    try {
        return services_.volumes.Describe(letter).cardReader;
    } catch (const PlatformError&) {
        return false;
    }
}

ConsoleRun::Ejected ConsoleRun::Refused(char16_t letter, Refusal refusal) {
    const std::u16string text = RefusalText(letter, refusal);
    ShowError(text + u"\n");
    return {{{"command", "eject"},
             {"drive", ToUtf8(DriveText(letter))},
             {"refusal", RefusalName(refusal)},
             {"error", ToUtf8(text)}},
            kExitError};
}

// After a veto: lock, or with the person's consent dismount, then eject.
ConsoleRun::Ejected ConsoleRun::Force(char16_t letter, Json json) {
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
bool ConsoleRun::ConfirmDismount(char16_t letter) {
    if (command_.yes) {
        return true;
    }
    if (command_.json) {
        return false;
    }
    return services_.input.AskYesNo(ForceQuestion(letter, Look().holders) + u" (y/N)");
}

ConsoleRun::Ejected ConsoleRun::EjectMediumOnly(char16_t letter) {
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

std::u16string ConsoleRun::StepLines(const EjectSteps& steps) {
    std::u16string text;
    for (const EjectStep step : steps.steps) {
        text += StepText(step) + u"\n";
    }
    return text;
}

}  // namespace varnel::holders

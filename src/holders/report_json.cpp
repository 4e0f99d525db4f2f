#include "holders/report_json.h"

#include "holders/explorer_windows.h"
#include "holders/holder_texts.h"
#include "holders/known_holders.h"
#include "holders/report_text.h"
#include "text/utf8.h"

namespace varnel::holders {
namespace {

Json Holders(const std::vector<Holder>& holders) {
    Json list = Json::array();
    for (const Holder& holder : holders) {
        list.push_back(HolderJson(holder));
    }
    return list;
}

std::string Drive(char16_t letter) {
    return ToUtf8(DriveText(letter));
}

}  // namespace

Json HolderJson(const Holder& holder) {
    Json holds = Json::array();
    for (const Hold& hold : holder.holds) {
        holds.push_back({{"kind", KindName(hold.kind)}, {"path", ToUtf8(hold.path)}});
    }
    Json json = {{"pid", holder.pid}, {"program", ToUtf8(holder.program)}, {"holds", holds}};
    AddKnownHolderJson(json, holder);
    return json;
}

Json ListJson(const std::vector<DriveInfo>& drives) {
    Json list = Json::array();
    for (const DriveInfo& drive : drives) {
        list.push_back({{"drive", Drive(drive.letter)},
                        {"kind", DriveKindName(drive.kind)},
                        {"label", ToUtf8(drive.label)},
                        {"file_system", ToUtf8(drive.fileSystem)},
                        {"size", drive.sizeBytes}});
    }
    return {{"command", "list"}, {"drives", list}};
}

Json WhoJson(char16_t letter, const HolderReport& report) {
    return {{"command", "who"},
            {"drive", Drive(letter)},
            {"holders", Holders(report.holders)},
            {"uninspected", report.uninspected}};
}

Json FreeJson(char16_t letter, const FreeOutcome& outcome) {
    Json left = Json::array();
    for (const LeftHolder& holder : outcome.left) {
        Json entry = HolderJson(holder.holder);
        entry["reason"] = SpareName(holder.spared);
        left.push_back(entry);
    }
    Json json = {{"command", "free"},
                 {"drive", Drive(letter)},
                 {"closed", Holders(outcome.closed)},
                 {"ended", Holders(outcome.ended)},
                 {"left", left},
                 {"shell_ended", outcome.shellEnded},
                 {"shell_restarted", outcome.shellRestarted},
                 {"uninspected", outcome.uninspected}};
    // Only when there were windows to close: the answer stays as it was for every other drive.
    const WindowsClosing& windows = outcome.windows;
    if (!windows.closed.empty() || !windows.left.empty()) {
        json["explorer_windows_closed"] = ExplorerWindowsJson(windows.closed);
        json["explorer_windows_left"] = ExplorerWindowsJson(windows.left);
    }
    if (!outcome.windows.error.empty()) {
        json["explorer_windows_error"] = ToUtf8(outcome.windows.error);
    }
    return json;
}

Json EjectJson(char16_t letter, const EjectOutcome& outcome, const HolderReport& holdersAfterVeto) {
    static const char* const kResults[] = {"ejected", "vetoed", "device_not_found"};
    Json json = {{"command", "eject"},
                 {"drive", Drive(letter)},
                 {"result", kResults[static_cast<int>(outcome.result)]},
                 {"device", ToUtf8(outcome.device)},
                 {"tries", outcome.tries}};
    if (outcome.result == EjectResult::Vetoed) {
        json["veto"] = {{"type", outcome.lastAnswer.vetoType},
                        {"cause", ToUtf8(VetoCause(outcome.lastAnswer.vetoType))},
                        {"by", ToUtf8(outcome.lastAnswer.vetoName)}};
        json["holders"] = Holders(holdersAfterVeto.holders);
        json["uninspected"] = holdersAfterVeto.uninspected;
    }
    return json;
}

Json StepsJson(char16_t letter, const EjectSteps& steps, const HolderReport& holders) {
    Json json = Json::object();
    if (steps.refusal != Refusal::None) {
        json["refusal"] = RefusalName(steps.refusal);
    }
    Json names = Json::array();
    for (const EjectStep step : steps.steps) {
        names.push_back(StepName(step));
    }
    json["steps"] = names;
    if (steps.eject) {
        Json eject = EjectJson(letter, *steps.eject, holders);
        eject.erase("command");
        eject.erase("drive");
        json["eject"] = eject;
    } else if (!steps.steps.empty() && steps.steps.back() == EjectStep::LockRefused) {
        json["holders"] = Holders(holders.holders);
        json["uninspected"] = holders.uninspected;
    }
    return json;
}

}  // namespace varnel::holders

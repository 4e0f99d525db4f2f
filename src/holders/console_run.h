// One run of the console program: the command, the services it acts through, and what its looks
// found. The commands are in console_commands.cpp, the ejects in console_eject.cpp.
#pragma once

#include <string>

#include "holders/arguments.h"
#include "holders/console_commands.h"
#include "holders/drive_match.h"
#include "holders/eject_plans.h"
#include "holders/report_json.h"
#include "holders/veto_record.h"
#include "holders/volume_users.h"

namespace varnel::holders {

class ConsoleRun {
public:
    ConsoleRun(const Command& command, ConsoleServices& services)
        : command_(command), services_(services) {}

    // The command's exit code; a failure the command did not expect is printed as asked for.
    int Run();

private:
    int Dispatch();
    int WhyCommand();
    int Who();
    // The holders the handle scan found, followed by the processes only the file system's list
    // names (when the list can be trusted). The drive looked at: with eject --all, one of the
    // list, not the command's letter.
    HolderReport Look();
    FreeOutcome Free();
    VetoLookup Lookup();
    std::u16string LastVeto();
    int Print(Json json, const std::u16string& text, int exitCode);
    int Fail(const std::u16string& message);
    // Text for a person, left out with --json; an error's on standard error.
    void Show(const std::u16string& text);
    void ShowError(const std::u16string& text);

    // One drive's eject: its JSON and exit code. Its text is shown as it goes (standard error
    // for an error), since a wait or a question can come in between.
    struct Ejected {
        Json json;
        int exitCode = kExitClear;
    };
    int Eject();
    int EjectAll();
    Ejected EjectListed(char16_t letter);
    Ejected EjectOne(char16_t letter);
    bool IsCardReader(char16_t letter);
    Ejected Refused(char16_t letter, Refusal refusal);
    Ejected Force(char16_t letter, Json json);
    bool ConfirmDismount(char16_t letter);
    Ejected EjectMediumOnly(char16_t letter);
    static std::u16string StepLines(const EjectSteps& steps);

    const Command& command_;
    ConsoleServices& services_;
    DriveNames drive_;
    FileSystemList fileSystemList_ = FileSystemList::None;  // as the last look found it
};

}  // namespace varnel::holders

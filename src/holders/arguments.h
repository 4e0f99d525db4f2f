// The console program's command line: one command, a drive letter and its options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnel::holders {

enum class CommandKind { Help, List, Who, Free, Eject, Why };

struct Command {
    CommandKind kind = CommandKind::Help;
    char16_t letter = 0;
    bool json = false;
    bool free = false;  // eject: free the drive first
    bool kill = false;  // free, eject --free: end the holders that do not close
    uint32_t waitSeconds = 5;
    // eject only:
    bool all = false;    // every removable and external drive instead of one letter
    bool media = false;  // the medium alone; a card reader stays
    bool force = false;  // after a veto: lock, and dismount if files stay open
    bool yes = false;    // --force without asking
    std::optional<uint32_t> ejectWaitSeconds;  // --wait: try again while vetoed
};

inline constexpr uint32_t kMaxWaitSeconds = 3600;

// Why the arguments make no command; None when they make one.
enum class ArgumentProblem {
    None,
    NoCommand,       // nothing but --json
    UnknownCommand,  // the first word names no command
    ExtraWord,       // help or list followed by more
    NoDrive,         // who, free, eject or why without a drive
    BadDrive,        // the word after the command is no drive letter
    BadOption,       // an option the command does not take
    NoSeconds,       // --wait at the end
    BadSeconds,      // --wait followed by no whole number from 0 to kMaxWaitSeconds
    AllWithDrive,    // eject --all and a drive letter too
    Conflict,        // two eject options that cannot go together
    YesAlone,        // --yes without --force
};

struct ParsedArguments {
    // Complete when problem is None; otherwise json is still set, and kind when named is.
    Command command;
    bool named = false;  // the first word named a command
    ArgumentProblem problem = ArgumentProblem::None;
    std::u16string word;  // the argument the problem is about, as given
};

// The arguments after the program's name. --json may stand anywhere and counts even when the
// rest makes no command; --kill with eject implies --free. eject takes --all in place of the
// drive; --media goes alone, --all not with --force.
ParsedArguments ParseArguments(const std::vector<std::u16string>& arguments);

}  // namespace varnel::holders

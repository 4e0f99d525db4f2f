#include "holders/arguments.h"

#include <optional>
#include <utility>

#include "holders/drive_match.h"

namespace varnel::holders {
namespace {

std::optional<uint32_t> ParseSeconds(const std::u16string& text) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - u'0');
    }
    return value <= kMaxWaitSeconds ? std::optional<uint32_t>(value) : std::nullopt;
}

std::optional<CommandKind> ParseKind(const std::u16string& word) {
    if (word == u"list") {
        return CommandKind::List;
    }
    if (word == u"who") {
        return CommandKind::Who;
    }
    if (word == u"free") {
        return CommandKind::Free;
    }
    if (word == u"eject") {
        return CommandKind::Eject;
    }
    if (word == u"why") {
        return CommandKind::Why;
    }
    if (word == u"help" || word == u"--help" || word == u"-h" || word == u"/?") {
        return CommandKind::Help;
    }
    return std::nullopt;
}

void Refuse(ParsedArguments& parsed, ArgumentProblem problem, const std::u16string& word) {
    parsed.problem = problem;
    parsed.word = word;
}

// Reads --wait's seconds into `seconds`; false after refusing the arguments.
bool ParseWait(const std::vector<std::u16string>& words, size_t& i, ParsedArguments& parsed,
               uint32_t& seconds) {
    if (i + 1 == words.size()) {
        Refuse(parsed, ArgumentProblem::NoSeconds, words[i]);
        return false;
    }
    const std::optional<uint32_t> parsedSeconds = ParseSeconds(words[++i]);
    if (!parsedSeconds) {
        Refuse(parsed, ArgumentProblem::BadSeconds, words[i]);
        return false;
    }
    seconds = *parsedSeconds;
    return true;
}

// eject's options that cannot go together: the medium alone is one sequence of its own, and a
// forced eject of every drive at once is never offered.
void CheckEjectOptions(ParsedArguments& parsed) {
    const Command& c = parsed.command;
    const bool wait = c.ejectWaitSeconds.has_value();
    const std::pair<bool, const char16_t*> conflicts[] = {
        {c.media && c.force, u"--media --force"}, {c.media && c.kill, u"--media --kill"},
        {c.media && c.free, u"--media --free"},   {c.media && wait, u"--media --wait"},
        {c.all && c.media, u"--all --media"},     {c.all && c.force, u"--all --force"}};
    for (const auto& [found, words] : conflicts) {
        if (found) {
            Refuse(parsed, ArgumentProblem::Conflict, words);
            return;
        }
    }
    if (c.yes && !c.force) {
        Refuse(parsed, ArgumentProblem::YesAlone, u"--yes");
    }
}

// The options after the drive letter (from `first` on), each allowed only where it means
// something.
void ParseOptions(const std::vector<std::u16string>& words, size_t first, ParsedArguments& parsed) {
    Command& command = parsed.command;
    const bool eject = command.kind == CommandKind::Eject;
    for (size_t i = first; i < words.size(); ++i) {
        const std::u16string& option = words[i];
        if (option == u"--kill" &&
            (command.kind == CommandKind::Free || command.kind == CommandKind::Eject)) {
            command.kill = true;
        } else if (option == u"--free" && eject) {
            command.free = true;
        } else if (option == u"--wait" && command.kind == CommandKind::Free) {
            if (!ParseWait(words, i, parsed, command.waitSeconds)) {
                return;
            }
        } else if (option == u"--wait" && eject) {
            uint32_t seconds = 0;
            if (!ParseWait(words, i, parsed, seconds)) {
                return;
            }
            command.ejectWaitSeconds = seconds;
        } else if (option == u"--media" && eject) {
            command.media = true;
        } else if (option == u"--force" && eject) {
            command.force = true;
        } else if (option == u"--yes" && eject) {
            command.yes = true;
        } else {
            Refuse(parsed, ArgumentProblem::BadOption, option);
            return;
        }
    }
    command.free = command.free || (eject && command.kill);
    if (eject) {
        CheckEjectOptions(parsed);
    }
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::u16string>& arguments) {
    ParsedArguments parsed;
    Command& command = parsed.command;
    std::vector<std::u16string> words;
    for (const std::u16string& argument : arguments) {
        if (argument == u"--json") {
            command.json = true;
        } else {
            words.push_back(argument);
        }
    }
    if (words.empty()) {
        Refuse(parsed, ArgumentProblem::NoCommand, u"");
        return parsed;
    }
    const std::optional<CommandKind> kind = ParseKind(words[0]);
    if (!kind) {
        Refuse(parsed, ArgumentProblem::UnknownCommand, words[0]);
        return parsed;
    }
    command.kind = *kind;
    parsed.named = true;
    if (command.kind == CommandKind::Help || command.kind == CommandKind::List) {
        if (words.size() > 1) {
            Refuse(parsed, ArgumentProblem::ExtraWord, words[1]);
        }
        return parsed;
    }
    if (command.kind == CommandKind::Eject) {
        // --all stands in place of the drive, wherever it is written.
        command.all = std::erase(words, u"--all") > 0;
        if (command.all) {
            if (words.size() > 1 && ParseDriveLetter(words[1]) != 0) {
                Refuse(parsed, ArgumentProblem::AllWithDrive, words[1]);
            } else {
                ParseOptions(words, 1, parsed);
            }
            return parsed;
        }
    }
    if (words.size() < 2) {
        Refuse(parsed, ArgumentProblem::NoDrive, u"");
        return parsed;
    }
    command.letter = ParseDriveLetter(words[1]);
    if (command.letter == 0) {
        Refuse(parsed, ArgumentProblem::BadDrive, words[1]);
        return parsed;
    }
    ParseOptions(words, 2, parsed);
    return parsed;
}

}  // namespace varnel::holders

#include "holders/arguments.h"

#include <optional>

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

// The options after the drive letter, each allowed only where it means something.
void ParseOptions(const std::vector<std::u16string>& words, ParsedArguments& parsed) {
    Command& command = parsed.command;
    for (size_t i = 2; i < words.size(); ++i) {
        const std::u16string& option = words[i];
        if (option == u"--kill" &&
            (command.kind == CommandKind::Free || command.kind == CommandKind::Eject)) {
            command.kill = true;
        } else if (option == u"--free" && command.kind == CommandKind::Eject) {
            command.free = true;
        } else if (option == u"--wait" && command.kind == CommandKind::Free) {
            if (i + 1 == words.size()) {
                Refuse(parsed, ArgumentProblem::NoSeconds, option);
                return;
            }
            const std::optional<uint32_t> seconds = ParseSeconds(words[++i]);
            if (!seconds) {
                Refuse(parsed, ArgumentProblem::BadSeconds, words[i]);
                return;
            }
            command.waitSeconds = *seconds;
        } else {
            Refuse(parsed, ArgumentProblem::BadOption, option);
            return;
        }
    }
    command.free = command.free || (command.kind == CommandKind::Eject && command.kill);
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
    if (words.size() < 2) {
        Refuse(parsed, ArgumentProblem::NoDrive, u"");
        return parsed;
    }
    command.letter = ParseDriveLetter(words[1]);
    if (command.letter == 0) {
        Refuse(parsed, ArgumentProblem::BadDrive, words[1]);
        return parsed;
    }
    ParseOptions(words, parsed);
    return parsed;
}

}  // namespace varnel::holders

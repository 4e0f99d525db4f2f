#include "holders/arguments.h"

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
    if (word == u"help" || word == u"--help" || word == u"-h" || word == u"/?") {
        return CommandKind::Help;
    }
    return std::nullopt;
}

// The options after the drive letter, each allowed only where it means something.
bool ParseOptions(const std::vector<std::u16string>& rest, Command& command) {
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::u16string& option = rest[i];
        if (option == u"--kill" && command.kind != CommandKind::Who) {
            command.kill = true;
        } else if (option == u"--free" && command.kind == CommandKind::Eject) {
            command.free = true;
        } else if (option == u"--wait" && command.kind == CommandKind::Free &&
                   i + 1 < rest.size()) {
            const std::optional<uint32_t> seconds = ParseSeconds(rest[++i]);
            if (!seconds) {
                return false;
            }
            command.waitSeconds = *seconds;
        } else {
            return false;
        }
    }
    command.free = command.free || (command.kind == CommandKind::Eject && command.kill);
    return true;
}

}  // namespace

std::optional<Command> ParseArguments(const std::vector<std::u16string>& arguments) {
    Command command;
    std::vector<std::u16string> words;
    for (const std::u16string& argument : arguments) {
        if (argument == u"--json") {
            command.json = true;
        } else {
            words.push_back(argument);
        }
    }
    if (words.empty()) {
        return std::nullopt;
    }
    const std::optional<CommandKind> kind = ParseKind(words[0]);
    if (!kind) {
        return std::nullopt;
    }
    command.kind = *kind;
    if (command.kind == CommandKind::Help || command.kind == CommandKind::List) {
        return words.size() == 1 ? std::optional<Command>(command) : std::nullopt;
    }
    if (words.size() < 2) {
        return std::nullopt;
    }
    command.letter = ParseDriveLetter(words[1]);
    if (command.letter == 0 ||
        !ParseOptions(std::vector<std::u16string>(words.begin() + 2, words.end()), command)) {
        return std::nullopt;
    }
    return command;
}

}  // namespace varnel::holders

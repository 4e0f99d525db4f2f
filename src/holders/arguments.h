// The console program's command line: one command, a drive letter and its options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnel::holders {

enum class CommandKind { Help, List, Who, Free, Eject };

struct Command {
    CommandKind kind = CommandKind::Help;
    char16_t letter = 0;
    bool json = false;
    bool free = false;  // eject: free the drive first
    bool kill = false;  // free, eject --free: end the holders that do not close
    uint32_t waitSeconds = 5;
};

inline constexpr uint32_t kMaxWaitSeconds = 3600;

// The arguments after the program's name; nullopt when they make no valid command. --json may
// stand anywhere; --kill with eject implies --free.
std::optional<Command> ParseArguments(const std::vector<std::u16string>& arguments);

}  // namespace varnel::holders

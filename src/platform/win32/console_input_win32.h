// A yes/no question on the console: written to standard error, answered on the console's input.
#pragma once

#include "platform/console_input.h"

namespace varnel::win32 {

class ConsoleInputWin32 : public ConsoleInput {
public:
    bool AskYesNo(const std::u16string& question) override;
};

}  // namespace varnel::win32

// A question put to the person at the console.
#pragma once

#include <string>

namespace varnel {

class ConsoleInput {
public:
    virtual ~ConsoleInput() = default;
    // Shows the question and reads one line: true only for an answer of y or yes. No console to
    // ask, or no line before the end of the input, answers no.
    virtual bool AskYesNo(const std::u16string& question) = 0;
};

}  // namespace varnel

// The console program's two output streams.
#pragma once

#include <string>

namespace varnel {

class ConsoleOutput {
public:
    virtual ~ConsoleOutput() = default;
    virtual void Out(const std::u16string& text) = 0;
    virtual void Err(const std::u16string& text) = 0;
};

}  // namespace varnel

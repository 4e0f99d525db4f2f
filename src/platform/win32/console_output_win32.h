// Text to the console as UTF-16 (WriteConsoleW), or as UTF-8 bytes when redirected.
#pragma once

#include "platform/console_output.h"

namespace varnel::win32 {

class ConsoleOutputWin32 : public ConsoleOutput {
public:
    void Out(const std::u16string& text) override;
    void Err(const std::u16string& text) override;
};

}  // namespace varnel::win32

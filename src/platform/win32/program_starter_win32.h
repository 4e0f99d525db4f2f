// Starting a command line with a window style for the new program's first window.
#pragma once

#include "platform/processes.h"

namespace varnel::win32 {

class Win32ProgramStarter : public ProgramStarter {
public:
    // The program is found as CreateProcessW finds the head of a command line: the calling
    // program's directory first, then the system's. Nothing waits for it; its handles are closed
    // at once. Throws PlatformError naming the command line when it cannot be started.
    void Start(const std::u16string& commandLine, int showStyle) override;
};

}  // namespace varnel::win32

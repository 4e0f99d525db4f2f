// Starting a system program with a window style for its first window.
#pragma once

#include <string>

#include "platform/processes.h"

namespace varnel::win32 {

class Win32ProgramStarter : public ProgramStarter {
public:
    // The program is started from its full path in the Windows or system folder, given to
    // CreateProcessW as the application name, so that no copy in the program's folder or the
    // current directory can stand in for it. Nothing waits for it; its handles are closed at
    // once. Throws PlatformError naming the command line when it cannot be started.
    void Start(SystemProgram program, const std::u16string& commandLine, int showStyle) override;
};

// The full path of a system program: the Windows folder's explorer.exe, the system folder's
// rundll32.exe.
std::u16string SystemProgramPath(SystemProgram program);

}  // namespace varnel::win32

// The shell's folder windows through IShellWindows, asked from a single-threaded apartment on a
// thread of its own, so neither the caller's thread nor its COM state is involved.
#pragma once

#include "platform/shell_windows.h"

namespace varnel::win32 {

class ShellWindowsWin32 : public ShellWindows {
public:
    std::vector<ShellWindow> List() override;
    bool Close(uint64_t id) override;
};

}  // namespace varnel::win32

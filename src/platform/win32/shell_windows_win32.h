// The shell's folder windows through IShellWindows, asked from a single-threaded apartment on a
// thread of its own, so neither the caller's thread nor its COM state is involved.
#pragma once

#include <windows.h>

#include "platform/shell_windows.h"

namespace varnel::win32 {

class ShellWindowsWin32 : public ShellWindows {
public:
    // Makes the shell's window list (an IShellWindows) in the calling apartment.
    using Factory = HRESULT (*)(void** windows);
    static HRESULT CreateSystemList(void** windows);  // the system's, CoCreateInstance

    explicit ShellWindowsWin32(Factory create = &CreateSystemList) : create_(create) {}
    std::vector<ShellWindow> List() override;
    bool Close(uint64_t id) override;

private:
    Factory create_;
};

}  // namespace varnel::win32

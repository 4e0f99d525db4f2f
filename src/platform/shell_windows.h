// The shell's open folder windows: a folder shown in Explorer keeps its drive busy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnel {

struct ShellWindow {
    uint64_t id = 0;      // what Close takes: the window's handle
    std::u16string path;  // the folder it shows, by drive letter: E:\sub
};

class ShellWindows {
public:
    virtual ~ShellWindows() = default;
    // The folder windows that show a folder of the file system; browser windows and virtual
    // folders (This PC, Control Panel) are left out. Throws PlatformError when the shell's window
    // list cannot be had or does not answer in time.
    virtual std::vector<ShellWindow> List() = 0;
    // Closes the window with that id; false when it is no longer open.
    virtual bool Close(uint64_t id) = 0;
};

}  // namespace varnel

// Running processes, by image name, and the start of new ones.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace varnel {

// One entry of a process snapshot.
struct ProcessRecord {
    uint32_t id = 0;
    std::u16string imageName;  // file name with extension, as the system reports it
};

class ProcessTable {
public:
    virtual ~ProcessTable() = default;
    // Takes one snapshot of the running processes and calls visit for each, in snapshot order.
    // Returns false, having visited nothing, when no snapshot can be taken.
    virtual bool ForEachProcess(const std::function<void(const ProcessRecord&)>& visit) = 0;
    // Opens the process for termination, ends it with exit code 0 and closes the handle. A
    // process that cannot be opened or ended (one already on its way out) is left as it is.
    virtual void Terminate(uint32_t id) = 0;
    // The system's lower-casing of text, which also lowers letters beyond ASCII.
    virtual std::u16string ToLower(const std::u16string& text) const = 0;
    // The identifier of the process this code runs in.
    virtual uint32_t CurrentProcessId() const = 0;
};

// Window styles for a started program's first window (the Win32 SW_ values).
constexpr int kShowNormal = 1;     // SW_SHOWNORMAL
constexpr int kShowMinimized = 2;  // SW_SHOWMINIMIZED

// The system programs the tool starts. Each is started from its own system folder, never found
// by the search order, which would run a planted copy from the program's folder or the current
// directory first.
enum class SystemProgram {
    Shell,     // explorer.exe in the Windows folder
    Rundll32,  // rundll32.exe in the system folder
};

class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // Starts the system program with commandLine as its command line (the program's name at its
    // head, as the started program expects to see it) and returns at once. Throws PlatformError
    // when the program cannot be started.
    virtual void Start(SystemProgram program, const std::u16string& commandLine, int showStyle) = 0;
};

}  // namespace varnel

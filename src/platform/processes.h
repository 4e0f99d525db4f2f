// The running processes: one list, ending one, asking one to close; and the start of the system
// programs the tool runs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace varnel {

// One entry of a process snapshot.
struct ProcessRecord {
    ProcessRecord() = default;
    // The list's own fields are optional, so that a process can be named by id and name alone.
    ProcessRecord(uint32_t id, std::u16string imageName, uint32_t parentId = 0,
                  uint64_t creationTime = 0, std::u16string imagePath = {})
        : id(id),
          imageName(std::move(imageName)),
          parentId(parentId),
          creationTime(creationTime),
          imagePath(std::move(imagePath)) {}

    uint32_t id = 0;
    std::u16string imageName;  // file name with extension, as the system reports it
    uint32_t parentId = 0;     // the process that started it; that id may have passed on since
    // When it started, in 100 ns units since 1601 (FILETIME); 0 when it could not be read. With
    // the id it names one process: an id is reused, an id and its start time are not.
    uint64_t creationTime = 0;
    std::u16string imagePath;  // full path of its program; empty when the system would not say
};

// The exit code of every process this tool ends, so that whoever waits for one of them does not
// take its end for a success.
inline constexpr uint32_t kEndedExitCode = 4;

class ProcessTable {
public:
    virtual ~ProcessTable() = default;
    // One snapshot of the running processes, in the system's order. Throws PlatformError when
    // no snapshot can be taken.
    virtual std::vector<ProcessRecord> Snapshot() = 0;
    // Ends the process with kEndedExitCode if it is still the one the record names: the same
    // image name (ignoring case) and the same creation time. Returns false, ending nothing, when
    // it has gone, when its id now belongs to another process, or when it is this process.
    // Throws PlatformError when it runs but cannot be checked or ended (access denied).
    virtual bool Terminate(const ProcessRecord& process) = 0;
    // Posts WM_CLOSE to the process's visible top-level windows; returns how many it asked.
    virtual int AskToClose(uint32_t id) = 0;
    virtual bool IsRunning(uint32_t id) = 0;
    // Whether the system marks the process critical (ending it stops the system); false for
    // one that cannot be opened.
    virtual bool IsCritical(uint32_t id) = 0;
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

// What the system shows of each running process that can hold a drive: its open files, its
// current directory and the files mapped into its memory, by the names the system gives them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnel {

// A handle of the File type and the object's name (\Device\HarddiskVolume1\a.txt, \??\T:\a.txt).
struct OpenObject {
    uint64_t handle = 0;
    std::u16string name;
};

enum class MappingKind { Program, Dll, Data };

// A file mapped into the process's memory: its program, a DLL or a mapped data file.
struct MappedFile {
    MappingKind kind = MappingKind::Data;
    std::u16string name;  // as the system names it, usually \Device\...
};

struct ProcessView {
    uint32_t pid = 0;
    std::u16string imageName;         // file name with extension; empty when it could not be read
    bool handlesRead = false;         // false when the process refused to share its handles
    bool memoryRead = false;          // false when its memory could not be walked
    std::u16string currentDirectory;  // as the process keeps it (T:\dir\); empty when unknown
    uint64_t currentDirectoryHandle = 0;  // the handle that keeps it open, 0 when unknown
    std::vector<OpenObject> files;
    std::vector<MappedFile> mappings;
    uint64_t creationTime = 0;  // as ProcessRecord has it: with pid, it names the process
};

class HolderScanner {
public:
    virtual ~HolderScanner() = default;
    // One look at every running process except the idle process. Throws PlatformError when the
    // process list itself cannot be read.
    virtual std::vector<ProcessView> Scan() = 0;
};

}  // namespace varnel

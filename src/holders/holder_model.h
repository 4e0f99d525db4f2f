// The processes that hold a drive and what each holds there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnel::holders {

// Unknown: the file system names the process as a user of the volume, but what it holds could not
// be seen (the process could not be inspected); its path is the drive, T:.
enum class HoldKind { File, Folder, CurrentDirectory, Program, Dll, MappedFile, Volume, Unknown };

struct Hold {
    HoldKind kind = HoldKind::File;
    std::u16string path;  // by drive letter: T:\a.txt; the volume itself is T:
    bool operator==(const Hold&) const = default;
};

struct Holder {
    uint32_t pid = 0;
    std::u16string program;  // empty when the system would not say
    std::vector<Hold> holds;
    uint64_t creationTime = 0;  // with pid, names the process: an id alone may pass to another
};

struct HolderReport {
    std::vector<Holder> holders;
    int uninspected = 0;  // processes whose handles or memory could not be read
};

}  // namespace varnel::holders

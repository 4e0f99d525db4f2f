// From what the system shows of each process to the holders of one drive.
#pragma once

#include <functional>
#include <vector>

#include "holders/drive_match.h"
#include "holders/holder_model.h"
#include "platform/holder_scan.h"

namespace varnel::holders {

using IsFolderQuery = std::function<bool(const std::u16string& path)>;

// Every process with at least one hold on the drive, in the order given, each hold once. A file
// handle that is the process's current directory counts as that, not as an open folder.
HolderReport CollectHolders(const std::vector<ProcessView>& processes, const DriveNames& drive,
                            const IsFolderQuery& isFolder);

}  // namespace varnel::holders

#include "repair/kill_process.h"

namespace varnel {

void KillProcess(ProcessTable& processes, const std::u16string& name) {
    const std::u16string wanted = processes.ToLower(name);
    processes.ForEachProcess([&](const ProcessRecord& process) {
        if (processes.ToLower(process.imageName) == wanted) {
            // A process that ended since the snapshot, or that we may not end, is passed over.
            processes.Terminate(process.id);
        }
    });
}

}  // namespace varnel

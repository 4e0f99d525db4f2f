#include "repair/kill_process.h"

namespace varnel {

void KillProcess(ProcessTable& processes, const std::u16string& name) {
    const std::u16string wanted = processes.ToLower(name);
    const uint32_t self = processes.CurrentProcessId();
    processes.ForEachProcess([&](const ProcessRecord& process) {
        if (process.id != self && processes.ToLower(process.imageName) == wanted) {
            // A process that ended since the snapshot, or that we may not end, is passed over.
            processes.Terminate(process.id);
        }
    });
}

bool IsRunning(ProcessTable& processes, const std::u16string& name) {
    const std::u16string wanted = processes.ToLower(name);
    bool found = false;
    processes.ForEachProcess([&](const ProcessRecord& process) {
        found = found || processes.ToLower(process.imageName) == wanted;
    });
    return found;
}

}  // namespace varnel

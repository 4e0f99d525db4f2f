#include "repair/kill_process.h"

#include <algorithm>

#include "platform/platform_error.h"

namespace varnel {

void KillProcess(ProcessTable& processes, const std::u16string& name) {
    const std::u16string wanted = processes.ToLower(name);
    std::vector<ProcessRecord> running;
    try {
        running = processes.Snapshot();
    } catch (const PlatformError&) {
        // The repair goes on with its next step: a list it cannot read leaves nothing to end.
        return;
    }
    for (const ProcessRecord& process : running) {
        if (processes.ToLower(process.imageName) == wanted) {
            try {
                processes.Terminate(process);
            } catch (const PlatformError&) {
                // One that we may not end (another user's, a protected one) is passed over: the
                // repair ends what it can.
            }
        }
    }
}

bool IsRunning(ProcessTable& processes, const std::u16string& name) {
    const std::u16string wanted = processes.ToLower(name);
    const std::vector<ProcessRecord> running = processes.Snapshot();
    return std::any_of(running.begin(), running.end(), [&](const ProcessRecord& process) {
        return processes.ToLower(process.imageName) == wanted;
    });
}

}  // namespace varnel

// The threads that look at and act on drives for the holders windows and the menu. They use
// services that live as long as the program's entry function; before those go, the program waits
// a short while for the threads and, if one still runs (a device that does not answer), ends the
// process at once rather than take the services away under it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/drives.h"

namespace varnel::win32 {

// Runs `work` on a thread of its own, counted until it returns. Throws PlatformError when no
// thread can be started (then nothing is counted). `work` must not throw.
void StartHolderWorker(std::function<void()> work);

// Waits up to `ms` until no worker runs; false if one still does.
bool WaitForHolderWorkers(DWORD ms);

// The drives for a menu or a picker, asked on a worker and waited for at most a moment: a drive
// that takes longer to answer (a disc spinning up, a failing stick) must not hold the window. Then
// the list known last is shown, and the answer, when it comes, is kept for the next time.
class DriveLister {
public:
    DriveLister(Drives& drives, DWORD waitMs);
    // The drives now, or the last list known when they do not answer within the wait; nothing
    // before the first answer. Throws the list's PlatformError when it failed within the wait.
    std::optional<std::vector<DriveInfo>> List();
    // An answer that comes after its wait and differs from the list known then is announced with
    // `message` posted to `window` (null: to nobody), so that what shows drives can show it.
    void AnnounceLateAnswers(HWND window, UINT message);

    struct Shared;

private:
    void Ask();  // starts the worker that asks the drives

    Drives& drives_;
    DWORD waitMs_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace varnel::win32

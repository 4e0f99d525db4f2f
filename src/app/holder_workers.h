// The threads that look at and act on drives for the holders windows and the menu. They use
// services that live as long as the program's entry function; before those go, the program waits
// a short while for the threads and, if one still runs (a device that does not answer), ends the
// process at once rather than take the services away under it.
#pragma once

#include <windows.h>

#include <functional>

namespace varnel::win32 {

// Runs `work` on a thread of its own, counted until it returns. Throws std::system_error when no
// thread can be started (then nothing is counted).
void StartHolderWorker(std::function<void()> work);

// Waits up to `ms` until no worker runs; false if one still does.
bool WaitForHolderWorkers(DWORD ms);

}  // namespace varnel::win32

// Object name queries on a worker thread with a time limit. On Windows, asking the name of a
// synchronous pipe that is waiting can block for ever; a worker that does not answer in time is
// ended and replaced, so one stuck handle costs the time limit, not the whole scan.
#pragma once

#include <windows.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/win32/scoped_handle.h"

namespace varnel::win32 {

class NameQueryWorker {
public:
    explicit NameQueryWorker(DWORD limitMs);
    ~NameQueryWorker();
    NameQueryWorker(const NameQueryWorker&) = delete;
    NameQueryWorker& operator=(const NameQueryWorker&) = delete;

    // The objects' names, in their order, handed to the worker at once: each empty for an unnamed
    // object, nullopt when its query failed or took longer than the limit. The limit runs for
    // each name from the moment its query starts; a query over it costs its worker, and a new one
    // answers the rest. `names` keeps its storage from one call to the next.
    void Query(std::span<const HANDLE> objects, std::vector<std::optional<std::u16string>>& names);
    int Abandoned() const { return abandoned_; }

    struct Shared;

private:
    void Start(std::span<const HANDLE> objects);
    void Stop(bool wait);

    DWORD limitMs_;
    Shared* shared_ = nullptr;  // owned by the worker while it may still run
    ScopedHandle thread_;
    int abandoned_ = 0;
};

}  // namespace varnel::win32

// Object name queries on a worker thread with a time limit. On Windows, asking the name of a
// synchronous pipe that is waiting can block for ever; a worker that does not answer in time is
// ended and replaced, so one stuck handle costs the time limit, not the whole scan.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace varnel::win32 {

class NameQueryWorker {
public:
    explicit NameQueryWorker(DWORD limitMs);
    ~NameQueryWorker();
    NameQueryWorker(const NameQueryWorker&) = delete;
    NameQueryWorker& operator=(const NameQueryWorker&) = delete;

    // The object's name (empty for an unnamed object); nullopt when the query failed or took
    // longer than the limit.
    std::optional<std::u16string> Query(HANDLE object);
    int Abandoned() const { return abandoned_; }

    struct Shared;

private:
    void Start();
    void Stop(bool wait);

    DWORD limitMs_;
    Shared* shared_ = nullptr;  // owned by the worker while it may still run
    HANDLE thread_ = nullptr;
    int abandoned_ = 0;
};

}  // namespace varnel::win32

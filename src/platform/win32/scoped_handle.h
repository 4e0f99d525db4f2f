// Ownership of a kernel handle: closed when the owner goes out of scope.
#pragma once

#include <windows.h>

namespace varnel::win32 {

class ScopedHandle {
public:
    // Takes a handle as a kernel function returned it; null and INVALID_HANDLE_VALUE hold nothing.
    explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
    ~ScopedHandle() {
        if (Valid()) {
            CloseHandle(handle_);
        }
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace varnel::win32

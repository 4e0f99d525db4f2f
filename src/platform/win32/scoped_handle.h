// Ownership of a kernel handle and of memory the system allocated with LocalAlloc: each released
// when its owner goes out of scope.
#pragma once

#include <windows.h>

#include <memory>
#include <utility>

namespace varnel::win32 {

class ScopedHandle {
public:
    // Takes a handle as a kernel function returned it; null and INVALID_HANDLE_VALUE hold nothing.
    explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~ScopedHandle() { Close(); }
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    void Close() {
        if (Valid()) {
            CloseHandle(handle_);
        }
        handle_ = nullptr;
    }

    HANDLE handle_;
};

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

// Memory the system allocated for the caller with LocalAlloc (FormatMessageW with
// FORMAT_MESSAGE_ALLOCATE_BUFFER, CommandLineToArgvW, ConvertSidToStringSidW): freed with
// LocalFree.
template <typename Type>
using ScopedLocal = std::unique_ptr<Type, LocalFreer>;

}  // namespace varnel::win32

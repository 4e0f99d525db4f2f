// Ownership of a SetupDi device information set: destroyed when the owner goes out of scope.
#pragma once

#include <utility>

#include "platform/win32/dynamic_calls_win32.h"

namespace varnel::win32 {

class ScopedDeviceInfoList {
public:
    // Takes a set as SetupDiGetClassDevsW returned it; INVALID_HANDLE_VALUE holds nothing.
    explicit ScopedDeviceInfoList(HDEVINFO set) : set_(set) {}
    ~ScopedDeviceInfoList() {
        if (Valid()) {
            SetupDi().destroyList(set_);
        }
    }
    ScopedDeviceInfoList(ScopedDeviceInfoList&& other) noexcept
        : set_(std::exchange(other.set_, INVALID_HANDLE_VALUE)) {}
    ScopedDeviceInfoList& operator=(ScopedDeviceInfoList&& other) noexcept {
        std::swap(set_, other.set_);
        return *this;
    }

    bool Valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    HDEVINFO Get() const { return set_; }

private:
    HDEVINFO set_;
};

}  // namespace varnel::win32

// The one failure type of the platform layer: the operation that failed and the system's words
// for why. The window's dispatch catches it per handler and shows both to the user.
#pragma once

#include <exception>
#include <string>

namespace varnel {

class PlatformError : public std::exception {
public:
    PlatformError(std::u16string operation, std::u16string detail)
        : operation_(std::move(operation)), detail_(std::move(detail)) {}

    const std::u16string& Operation() const noexcept { return operation_; }
    const std::u16string& Detail() const noexcept { return detail_; }
    const char* what() const noexcept override { return "platform operation failed"; }

private:
    std::u16string operation_;
    std::u16string detail_;
};

}  // namespace varnel

// The one failure type of the platform layer: the operation that failed and the system's words
// for why. The window's dispatch catches it per handler and shows both to the user.
#pragma once

#include <cstddef>
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

// The longest part of an operation's name or of the system's text that a failure box quotes. A
// command line may carry text from the network; a box of a million characters would freeze the
// window while it lays itself out.
inline constexpr size_t kMaxQuotedChars = 512;

// The failure box's text: "操作失败：" + operation + line break + detail, each part cut to
// kMaxQuotedChars with "..." marking the cut.
std::u16string FailureText(const PlatformError& failure);

// A thread the system would not start, as the failure of "std::thread".
PlatformError ThreadRefused(const std::exception& refused);

// Any failure as the platform's: a PlatformError as it is, anything else (memory exhausted, ...)
// as an internal error with its description, so that a worker can report it like the others.
PlatformError AsPlatformError(const std::exception& failure);

}  // namespace varnel

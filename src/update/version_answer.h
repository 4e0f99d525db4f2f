// The version service's answer, read as JSON (never evaluated as script).
#pragma once

#include <optional>
#include <string>

namespace varnel {

// The four values the check decides on, each as text.
struct VersionAnswer {
    std::u16string result;
    std::u16string version;
    std::u16string sid;
    std::u16string must;
};

// Reads result, info.version, info.sid and info.must from a JSON object. A value counts as text
// when it is a string (taken as it is) or a whole number (its decimal digits). Anything else -
// no JSON, not an object, a missing field, null, true/false, a fraction, an array or an object
// in a field's place - gives no answer.
std::optional<VersionAnswer> ParseVersionAnswer(const std::u16string& answerText);

}  // namespace varnel

#include "update/version_answer.h"

#include <nlohmann/json.hpp>

#include "text/utf8.h"

namespace varnel {
namespace {

using Json = nlohmann::json;

std::optional<std::u16string> TextOf(const Json& object, const char* name) {
    const auto it = object.find(name);
    if (it == object.end()) {
        return std::nullopt;
    }
    if (it->is_string()) {
        return FromUtf8(it->get_ref<const std::string&>());
    }
    if (it->is_number_unsigned()) {
        const std::string digits = std::to_string(it->get<uint64_t>());
        return std::u16string(digits.begin(), digits.end());
    }
    if (it->is_number_integer()) {
        const std::string digits = std::to_string(it->get<int64_t>());
        return std::u16string(digits.begin(), digits.end());
    }
    return std::nullopt;
}

}  // namespace

std::optional<VersionAnswer> ParseVersionAnswer(const std::u16string& answerText) {
    // Without exceptions: a malformed answer is an expected input, not a fault.
    const Json answer = Json::parse(ToUtf8(answerText), nullptr, /*allow_exceptions=*/false);
    if (!answer.is_object()) {
        return std::nullopt;  // also the parse failure, which yields a discarded value
    }
    const auto info = answer.find("info");
    if (info == answer.end() || !info->is_object()) {
        return std::nullopt;
    }
    // All four are read before any decision, so even a failed check must carry a full info.
    auto result = TextOf(answer, "result");
    auto version = TextOf(*info, "version");
    auto sid = TextOf(*info, "sid");
    auto must = TextOf(*info, "must");
    if (!result || !version || !sid || !must) {
        return std::nullopt;
    }
    return VersionAnswer{std::move(*result), std::move(*version), std::move(*sid),
                         std::move(*must)};
}

}  // namespace varnel

#include "platform/platform_error.h"

namespace varnel {
namespace {

std::u16string Widened(const char* text) {
    const std::string narrow = text;
    return std::u16string(narrow.begin(), narrow.end());
}

std::u16string Quoted(const std::u16string& text) {
    if (text.size() <= kMaxQuotedChars) {
        return text;
    }
    size_t cut = kMaxQuotedChars;
    if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) {
        --cut;  // never split a surrogate pair
    }
    return text.substr(0, cut) + u"...";
}

}  // namespace

std::u16string FailureText(const PlatformError& failure) {
    return u"操作失败：" + Quoted(failure.Operation()) + u"\n" + Quoted(failure.Detail());
}

PlatformError ThreadRefused(const std::exception& refused) {
    return PlatformError(u"std::thread", Widened(refused.what()));
}

PlatformError AsPlatformError(const std::exception& failure) {
    if (const auto* platform = dynamic_cast<const PlatformError*>(&failure)) {
        return *platform;
    }
    return PlatformError(u"内部错误", Widened(failure.what()));
}

}  // namespace varnel

// Programs that often hold a drive without the user having opened anything there, named in words
// with what to do about each.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "holders/holder_model.h"

namespace varnel::holders {

struct KnownHolder {
    std::u16string_view label;   // what the program is: 病毒扫描
    std::u16string_view advice;  // what to do
};

// The entry for a program name (compared without regard to ASCII case); nullptr for a program
// not in the table.
const KnownHolder* FindKnownHolder(std::u16string_view program);

// The entry for a holder; nullptr also when the program itself runs from the drive, which makes
// it a program that only shares a system program's name.
const KnownHolder* KnownHolderOf(const Holder& holder);

// " [病毒扫描: 等扫描结束后再试]" after a holder's line; empty for a holder not in the table.
std::u16string KnownHolderText(const Holder& holder);

// Adds "label" and "advice" to a holder's JSON object when the holder is in the table.
void AddKnownHolderJson(nlohmann::ordered_json& holderJson, const Holder& holder);

}  // namespace varnel::holders

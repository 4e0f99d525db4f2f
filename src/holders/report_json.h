// The results of the commands in the machine-readable form --json prints (UTF-8 strings).
#pragma once

#include <nlohmann/json.hpp>
#include <vector>

#include "holders/eject_plans.h"
#include "holders/eject_policy.h"
#include "holders/free_policy.h"
#include "holders/holder_model.h"
#include "platform/drives.h"

namespace varnel::holders {

using Json = nlohmann::ordered_json;

Json HolderJson(const Holder& holder);
Json ListJson(const std::vector<DriveInfo>& drives);
Json WhoJson(char16_t letter, const HolderReport& report);
Json FreeJson(char16_t letter, const FreeOutcome& outcome);
Json EjectJson(char16_t letter, const EjectOutcome& outcome, const HolderReport& holdersAfterVeto);
// A forced or medium-only eject: the refusal, the steps by name, the device's eject when it was
// requested, and the holders when the lock was refused and nothing was ejected.
Json StepsJson(char16_t letter, const EjectSteps& steps, const HolderReport& holders);

}  // namespace varnel::holders

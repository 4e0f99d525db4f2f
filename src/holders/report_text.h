// The results of the commands as lines for a person at the console. Names, paths, labels and
// device names from the system are shown through VisibleText: none can disguise itself.
#pragma once

#include <string>
#include <vector>

#include "holders/eject_policy.h"
#include "holders/free_policy.h"
#include "holders/holder_model.h"
#include "platform/drives.h"

namespace varnel::holders {

std::u16string DriveText(char16_t letter);
std::u16string ListText(const std::vector<DriveInfo>& drives);
// "  1234  notepad.exe  打开的文件 T:\a.txt; 当前目录 T:\dir"
std::u16string HolderLine(const Holder& holder);
std::u16string WhoText(char16_t letter, const HolderReport& report);
std::u16string FreeText(char16_t letter, const FreeOutcome& outcome);
// After a veto the holders follow, as who shows them.
std::u16string EjectText(char16_t letter, const EjectOutcome& outcome,
                         const HolderReport& holdersAfterVeto);

}  // namespace varnel::holders

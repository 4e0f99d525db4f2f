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
// "  1234  notepad.exe  打开的文件 T:\a.txt; 当前目录 T:\dir", with the label and advice of a
// known holder after it: " [病毒扫描: 等扫描结束后再试]".
std::u16string HolderLine(const Holder& holder);
std::u16string WhoText(char16_t letter, const HolderReport& report);
// The same with the lines of holders that are no process (Explorer's folder windows) after the
// processes' lines: the drive is held when either list has one.
std::u16string WhoText(char16_t letter, const HolderReport& report,
                       const std::u16string& otherHolderLines);
std::u16string FreeText(char16_t letter, const FreeOutcome& outcome);
// After a veto the holders follow, as who shows them.
std::u16string EjectText(char16_t letter, const EjectOutcome& outcome,
                         const HolderReport& holdersAfterVeto);

}  // namespace varnel::holders

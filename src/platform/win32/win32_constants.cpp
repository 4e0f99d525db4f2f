// The portable code names box styles, box answers, show styles and code pages by its own constants,
// so that it builds without <windows.h>. These checks tie each one to the Win32 value it stands
// for.
#include <windows.h>

#include "platform/processes.h"
#include "platform/window_services.h"
#include "text/content_type.h"

namespace varnel {

static_assert(kStyleInfoOk == (MB_ICONINFORMATION | MB_OK));
static_assert(kStyleInfoYesNo == (MB_ICONINFORMATION | MB_YESNO));
static_assert(kAnswerYes == IDYES);
static_assert(kAnswerNo == IDNO);
static_assert(kShowNormal == SW_SHOWNORMAL);
static_assert(kShowMinimized == SW_SHOWMINIMIZED);
static_assert(kCodePageUtf8 == CP_UTF8);

}  // namespace varnel

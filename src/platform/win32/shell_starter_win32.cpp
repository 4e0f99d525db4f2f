#include "platform/win32/shell_starter_win32.h"

#include "platform/win32/dynamic_calls_win32.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

void ShellStarterWin32::Execute(const std::u16string& verb, const std::u16string& path,
                                const std::u16string& arguments) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // No process handle is kept, and no window is waited for: the program runs on its own.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = Wide(verb);
    info.lpFile = Wide(path);  // a full path: never found through the search order
    info.lpParameters = Wide(arguments);
    info.nShow = SW_SHOWNORMAL;
    if (!Shell32().executeEx(&info)) {
        ThrowLastError(u"ShellExecuteExW " + verb + u" " + path);
    }
}

}  // namespace varnel::win32

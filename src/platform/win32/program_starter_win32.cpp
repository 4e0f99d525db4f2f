#include "platform/win32/program_starter_win32.h"

#include <windows.h>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

void Win32ProgramStarter::Start(const std::u16string& commandLine, int showStyle) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring writable(Wide(commandLine), commandLine.size());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showStyle);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        ThrowLastError(u"启动程序 " + commandLine);
    }
    const ScopedHandle process(started.hProcess);
    const ScopedHandle thread(started.hThread);
}

}  // namespace varnel::win32

#include "platform/win32/program_starter_win32.h"

#include <windows.h>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

namespace {

using FolderQuery = UINT(WINAPI*)(LPWSTR, UINT);

std::u16string Folder(FolderQuery query, const char16_t* operation) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = query(buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        ThrowLastError(operation);
    }
    return FromWide(buffer, length);
}

}  // namespace

std::u16string SystemProgramPath(SystemProgram program) {
    switch (program) {
        case SystemProgram::Shell:
            return Folder(GetWindowsDirectoryW, u"GetWindowsDirectoryW") + u"\\explorer.exe";
        case SystemProgram::Rundll32:
            return Folder(GetSystemDirectoryW, u"GetSystemDirectoryW") + u"\\rundll32.exe";
    }
    return {};
}

void Win32ProgramStarter::Start(SystemProgram program, const std::u16string& commandLine,
                                int showStyle) {
    const std::u16string path = SystemProgramPath(program);
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring writable(Wide(commandLine), commandLine.size());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showStyle);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(Wide(path), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        ThrowLastError(u"启动程序 " + commandLine);
    }
    const ScopedHandle process(started.hProcess);
    const ScopedHandle thread(started.hThread);
}

}  // namespace varnel::win32

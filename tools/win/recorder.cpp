// Records how it was started, then exits. Tests put copies of it in place of the system's
// explorer.exe and rundll32.exe, and plant copies where only a search order would find them.
//
// Appends one UTF-8 line to the file VARNEL_RECORDER_LOG names (recorder.log beside itself
// without it), fields separated by tabs:
//   path=<its full path>  exe=<its file name>
//   show=<wShowWindow, or "none" without STARTF_USESHOWWINDOW>
//   args=<command line after the program's name>  cmdline=<whole command line>
// It also signals the event whose handle number VARNEL_RECORDER_EVENT gives, which it can only if
// it inherited that handle from the program that started it.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>

int wmain(int, wchar_t**) {
    wchar_t path[MAX_PATH] = {}, log[MAX_PATH] = {};
    const std::wstring exePath(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    const size_t slash = exePath.find_last_of(L"\\/");
    wchar_t event[32] = {};
    if (GetEnvironmentVariableW(L"VARNEL_RECORDER_EVENT", event, 32) > 0)
        SetEvent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(wcstoull(event, nullptr, 10))));
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    const std::wstring commandLine = GetCommandLineW();
    // The arguments: after the first token (quoted or not) and the blanks that follow it.
    size_t position =
        commandLine[0] == L'"' ? commandLine.find(L'"', 1) + 1 : commandLine.find_first_of(L" \t");
    position = commandLine.find_first_not_of(L" \t", std::min(position, commandLine.size()));
    const std::wstring line =
        L"path=" + exePath + L"\texe=" + exePath.substr(slash + 1) + L"\tshow=" +
        ((startup.dwFlags & STARTF_USESHOWWINDOW) ? std::to_wstring(startup.wShowWindow)
                                                  : L"none") +
        L"\targs=" + (position == std::wstring::npos ? L"" : commandLine.substr(position)) +
        L"\tcmdline=" + commandLine + L"\r\n";
    std::string bytes(line.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, line.data(), int(line.size()), bytes.data(),
                                     int(bytes.size()), nullptr, nullptr));

    // Several copies may record at once: appends of one write each do not interleave.
    const DWORD named = GetEnvironmentVariableW(L"VARNEL_RECORDER_LOG", log, MAX_PATH);
    const std::wstring logPath = named > 0 && named < MAX_PATH
                                     ? std::wstring(log)
                                     : exePath.substr(0, slash + 1) + L"recorder.log";
    const HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;  // stays 0 when the write fails; the handle closes with the process
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    return written == bytes.size() ? 0 : 1;
}

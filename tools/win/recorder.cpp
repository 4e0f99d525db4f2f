// Records how it was started, then exits. Tests put copies of it in place of the system's
// explorer.exe and rundll32.exe, and plant copies where only a search order would find them.
//
// Appends one UTF-8 line to the file VARNEL_RECORDER_LOG names (recorder.log beside itself
// without it), fields separated by tabs:
//   path=<its full path>  exe=<its file name>
//   show=<wShowWindow, or "none" without STARTF_USESHOWWINDOW>
//   args=<command line after the program's name>  cmdline=<whole command line>
#include <windows.h>

#include <string>

namespace {

// The command line after its first token (quoted or not) and the blanks that follow it.
std::wstring ArgumentsOf(const std::wstring& commandLine) {
    size_t position = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        position = commandLine.find(L'"', 1);
        position = position == std::wstring::npos ? commandLine.size() : position + 1;
    } else {
        position = commandLine.find_first_of(L" \t");
        position = position == std::wstring::npos ? commandLine.size() : position;
    }
    position = commandLine.find_first_not_of(L" \t", position);
    return position == std::wstring::npos ? std::wstring() : commandLine.substr(position);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

}  // namespace

int wmain(int, wchar_t**) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring exePath(path, length);
    const size_t slash = exePath.find_last_of(L"\\/");
    const std::wstring directory = exePath.substr(0, slash + 1);
    const std::wstring exeName = exePath.substr(slash + 1);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    const std::wstring show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0
                                  ? std::to_wstring(startup.wShowWindow)
                                  : std::wstring(L"none");
    const std::wstring commandLine = GetCommandLineW();
    const std::string line =
        Utf8(L"path=" + exePath + L"\texe=" + exeName + L"\tshow=" + show + L"\targs=" +
             ArgumentsOf(commandLine) + L"\tcmdline=" + commandLine) +
        "\r\n";

    // Several copies may record at once: appends of one write each do not interleave.
    wchar_t named[MAX_PATH] = {};
    const DWORD namedLength = GetEnvironmentVariableW(L"VARNEL_RECORDER_LOG", named, MAX_PATH);
    const std::wstring logPath = namedLength > 0 && namedLength < MAX_PATH
                                     ? std::wstring(named, namedLength)
                                     : directory + L"recorder.log";
    const HANDLE log = CreateFileW(logPath.c_str(), FILE_APPEND_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(log);
    return ok && written == line.size() ? 0 : 1;
}

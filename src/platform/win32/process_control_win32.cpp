#include "platform/win32/process_control_win32.h"

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win32/nt_api_win32.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

struct CloseRequest {
    DWORD pid;
    int asked;
};

BOOL CALLBACK AskWindow(HWND window, LPARAM parameter) {
    auto* request = reinterpret_cast<CloseRequest*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // Visible top-level windows only: a hidden helper window closed behind the program's back
    // can leave it in a state it never expected.
    if (owner == request->pid && IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == nullptr && PostMessageW(window, WM_CLOSE, 0, 0)) {
        ++request->asked;
    }
    return TRUE;
}

}  // namespace

uint32_t ProcessControlWin32::SelfId() {
    return GetCurrentProcessId();
}

bool ProcessControlWin32::IsCritical(uint32_t pid) {
    const ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process.Valid()) {
        return false;
    }
    ULONG critical = 0;
    ULONG length = 0;
    return nt::Ntdll().queryInformationProcess(process.Get(), nt::kProcessBreakOnTermination,
                                               &critical, sizeof(critical), &length) >= 0 &&
           critical != 0;
}

int ProcessControlWin32::AskToClose(uint32_t pid) {
    CloseRequest request{pid, 0};
    EnumWindows(AskWindow, reinterpret_cast<LPARAM>(&request));
    return request.asked;
}

bool ProcessControlWin32::IsRunning(uint32_t pid) {
    const ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    return process.Valid() && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

bool ProcessControlWin32::Terminate(uint32_t pid, const std::u16string& program) {
    const ScopedHandle process(
        OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    wchar_t path[MAX_PATH * 4] = {};
    DWORD length = MAX_PATH * 4;
    if (!process.Valid() || !QueryFullProcessImageNameW(process.Get(), 0, path, &length)) {
        return false;
    }
    const std::wstring_view image(path, length);
    const std::wstring_view name = image.substr(image.find_last_of(L"\\/") + 1);
    if (CompareStringOrdinal(name.data(), static_cast<int>(name.size()), Wide(program),
                             static_cast<int>(program.size()), TRUE) != CSTR_EQUAL) {
        return false;
    }
    return TerminateProcess(process.Get(), 1);
}

bool ProcessControlWin32::StartShell() {
    // From the Windows folder by full path, never by search: a program named explorer.exe in
    // the current folder must not be the one started.
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    const std::wstring program = std::wstring(folder, length) + L"\\explorer.exe";
    std::wstring commandLine = L"explorer.exe";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder, &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

uint64_t PacerWin32::NowMs() {
    return GetTickCount64();
}

void PacerWin32::SleepMs(uint32_t ms) {
    Sleep(ms);
}

}  // namespace varnel::win32

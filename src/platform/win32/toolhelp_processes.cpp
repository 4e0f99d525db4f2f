#include "platform/win32/toolhelp_processes.h"

#include <windows.h>
// windows.h first: tlhelp32.h relies on its types.
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/side_by_side.h"
#include "platform/win32/nt_api_win32.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

constexpr unsigned kDescribers = 4;
constexpr size_t kProcessesPerDescriber = 16;

// The start time of an opened process; 0 when the system will not say.
uint64_t CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    return (uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

// The full path of an opened process's program; empty when the system will not say.
std::u16string ImagePath(HANDLE process) {
    // MAX_PATH first, which nearly every path fits; then long enough for any path the system
    // keeps (32767 units).
    for (const DWORD size : {DWORD{MAX_PATH + 1}, DWORD{32768}}) {
        std::wstring path(size, L'\0');
        DWORD length = size;
        if (QueryFullProcessImageNameW(process, 0, path.data(), &length)) {
            return FromWide(path.data(), length);
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
    }
    return {};
}

bool SameName(std::u16string_view path, const std::u16string& name) {
    const std::u16string_view file = path.substr(path.find_last_of(u"\\/") + 1);
    return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(file.data()),
                                static_cast<int>(file.size()), Wide(name),
                                static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

struct CloseRequest {
    DWORD id;
    int asked;
};

BOOL CALLBACK AskWindow(HWND window, LPARAM parameter) {
    auto* request = reinterpret_cast<CloseRequest*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // Visible top-level windows only: a hidden helper window closed behind the program's back
    // can leave it in a state it never expected.
    if (owner == request->id && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr &&
        PostMessageW(window, WM_CLOSE, 0, 0)) {
        ++request->asked;
    }
    return TRUE;
}

}  // namespace

std::vector<ProcessRecord> ToolhelpProcessTable::Snapshot() {
    const ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid()) {
        ThrowLastError(u"CreateToolhelp32Snapshot");
    }
    std::vector<ProcessRecord> processes;
    // The wide entry keeps names that the ANSI code page cannot spell.
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        processes.emplace_back(
            entry.th32ProcessID,
            FromWide(entry.szExeFile, wcsnlen(entry.szExeFile, std::size(entry.szExeFile))),
            entry.th32ParentProcessID);
    }
    // Each process's start time and path take a few calls to the system that mostly wait, so a
    // few threads ask them side by side.
    std::atomic<size_t> next{0};
    const auto describe = [&processes, &next] {
        for (size_t i = next++; i < processes.size(); i = next++) {
            // Limited information is granted for most processes of other users too.
            const ScopedHandle process(
                OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processes[i].id));
            if (process.Valid()) {
                processes[i].creationTime = CreationTime(process.Get());
                processes[i].imagePath = ImagePath(process.Get());
            }
        }
    };
    RunSideBySide(static_cast<unsigned>(
                      std::min<size_t>(kDescribers - 1, processes.size() / kProcessesPerDescriber)),
                  describe);
    return processes;
}

bool ToolhelpProcessTable::Terminate(const ProcessRecord& wanted) {
    if (wanted.id == GetCurrentProcessId()) {
        return false;
    }
    // SYNCHRONIZE to see whether it has ended already: an ended process stays open while
    // anyone holds a handle to it, and its id stays taken.
    const ScopedHandle process(OpenProcess(
        PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, wanted.id));
    if (!process.Valid()) {
        if (GetLastError() == ERROR_INVALID_PARAMETER) {
            return false;  // no process has that id any more
        }
        ThrowLastError(u"OpenProcess");
    }
    if (WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
        return false;
    }
    const uint64_t created = CreationTime(process.Get());
    const std::u16string path = ImagePath(process.Get());
    if (created == 0 || path.empty()) {
        ThrowLastError(u"GetProcessTimes / QueryFullProcessImageNameW");
    }
    // The id may have passed to another process since the record was taken.
    if (created != wanted.creationTime || !SameName(path, wanted.imageName)) {
        return false;
    }
    if (!TerminateProcess(process.Get(), kEndedExitCode)) {
        ThrowLastError(u"TerminateProcess");
    }
    return true;
}

int ToolhelpProcessTable::AskToClose(uint32_t id) {
    CloseRequest request{id, 0};
    if (!EnumWindows(AskWindow, reinterpret_cast<LPARAM>(&request))) {
        ThrowLastError(u"EnumWindows");
    }
    return request.asked;
}

bool ToolhelpProcessTable::IsRunning(uint32_t id) {
    const ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    return process.Valid() && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

bool ToolhelpProcessTable::IsCritical(uint32_t id) {
    const ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
    if (!process.Valid()) {
        return false;
    }
    ULONG critical = 0;
    ULONG length = 0;
    return nt::Ntdll().queryInformationProcess(process.Get(), nt::kProcessBreakOnTermination,
                                               &critical, sizeof(critical), &length) >= 0 &&
           critical != 0;
}

uint32_t ToolhelpProcessTable::CurrentProcessId() const {
    return GetCurrentProcessId();
}

std::u16string ToolhelpProcessTable::ToLower(const std::u16string& text) const {
    if (text.empty()) {
        return text;
    }
    // The invariant locale lower-cases file names the same way whatever the user's language.
    const int length = static_cast<int>(text.size());
    std::wstring lower(text.size(), L'\0');
    const int written = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, Wide(text), length,
                                      lower.data(), length, nullptr, nullptr, 0);
    if (written != length) {
        return text;  // lower-casing keeps the length; anything else is no lower-casing at all
    }
    return FromWide(lower);
}

}  // namespace varnel::win32

#include "platform/win32/toolhelp_processes.h"

#include <windows.h>
// windows.h first: tlhelp32.h relies on its types.
#include <tlhelp32.h>

#include <cwchar>
#include <iterator>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

bool ToolhelpProcessTable::ForEachProcess(const std::function<void(const ProcessRecord&)>& visit) {
    const ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid()) {
        return false;
    }
    // The wide entry keeps names that the ANSI code page cannot spell.
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        visit({entry.th32ProcessID,
               FromWide(entry.szExeFile, wcsnlen(entry.szExeFile, std::size(entry.szExeFile)))});
    }
    return true;
}

void ToolhelpProcessTable::Terminate(uint32_t id) {
    const ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    if (process.Valid()) {
        TerminateProcess(process.Get(), 0);
    }
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

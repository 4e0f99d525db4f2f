// The readers behind "why is the drive held": the System log's veto records over stand-in wevtapi
// functions, the file system's list of a volume's users over a stand-in of ntdll's query, and what
// Wine's real ones answer.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: winevt.h relies on its types.
#include <objbase.h>
#include <winevt.h>

#include <cstring>
#include <vector>

#include "platform/platform_error.h"
#include "platform/win32/shell_windows_win32.h"
#include "platform/win32/veto_log_win32.h"
#include "platform/win32/volume_users_win32.h"

namespace {

using namespace varnel;

int openEvtHandles = 0;  // handles the stand-ins gave and nobody closed yet
int sizeQueries = 0;     // renders asked without a buffer

EVT_HANDLE Give(uintptr_t value) {
    ++openEvtHandles;
    return reinterpret_cast<EVT_HANDLE>(value);
}
EVT_HANDLE WINAPI Query(EVT_HANDLE session, LPCWSTR path, LPCWSTR query, DWORD flags) {
    if (session != nullptr || wcscmp(path, L"System") != 0 || wcscmp(query, win32::kVetoQuery) ||
        flags != (EvtQueryChannelPath | EvtQueryReverseDirection))
        return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
    return Give(1);
}
// Both records in the first batch, then the end.
BOOL WINAPI Next(EVT_HANDLE, DWORD size, EVT_HANDLE* events, DWORD, DWORD, PDWORD returned) {
    static bool given = false;
    if (given || size < 2)
        return *returned = 0, SetLastError(ERROR_NO_MORE_ITEMS), FALSE;
    given = true;
    events[0] = Give(100), events[1] = Give(101), *returned = 2;
    return TRUE;
}
EVT_HANDLE WINAPI Context(DWORD count, LPCWSTR* paths, DWORD flags) {
    if (flags == EvtRenderContextUser && count == 0)
        return Give(10);
    if (flags == EvtRenderContextValues && count == 1 &&
        wcscmp(paths[0], L"Event/System/TimeCreated/@SystemTime") == 0)
        return Give(11);
    return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
}
const wchar_t kOutside[] = L"not in the buffer";
SYSTEMTIME kNoon = {2026, 12, 2, 8, 12, 0, 0, 0};
// Record 100 is a veto of a newer system. Record 101 has its process id as text and a string that
// points outside the rendered buffer. Strings follow the variants, as the system lays them out.
BOOL WINAPI Render(EVT_HANDLE context, EVT_HANDLE event, DWORD, DWORD size, PVOID buffer,
                   PDWORD used, PDWORD count) {
    const bool first = event == EVT_HANDLE(100);
    std::vector<EVT_VARIANT> values;
    std::vector<const wchar_t*> texts;
    const auto number = [&](UINT32 n) {
        values.push_back({{.UInt32Val = n}, 0, EvtVarTypeUInt32});
    };
    const auto text = [&](const wchar_t* t) {
        values.push_back({{.StringVal = t}, 0, EvtVarTypeString});
        texts.push_back(t);
    };
    if (context == EVT_HANDLE(11) && first) {
        values.push_back({{.FileTimeVal = 134411856050000000}, 0, EvtVarTypeFileTime});
    } else if (context == EVT_HANDLE(11)) {
        values.push_back({{.SysTimeVal = &kNoon}, 0, EvtVarTypeSysTime});
    } else {
        first ? number(1234) : text(L"1234");
        number(54), text(L"\\Device\\HarddiskVolume3\\Windows\\System32\\dllhost.exe"), number(27);
        text(L"USB\\VID_0781&PID_5581\\4C53"), number(0);
        values.push_back({{.StringVal = nullptr}, 0, EvtVarTypeNull});
        first ? number(1) : (void)values.push_back({{.StringVal = kOutside}, 0, EvtVarTypeString});
    }
    DWORD needed = values.size() * sizeof(EVT_VARIANT);
    for (const wchar_t* t : texts)
        needed += (wcslen(t) + 1) * sizeof(wchar_t);
    *used = needed, *count = values.size();
    if (buffer == nullptr)
        ++sizeQueries;
    if (size < needed)
        return SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;
    auto* out = static_cast<EVT_VARIANT*>(buffer);
    auto* strings = reinterpret_cast<wchar_t*>(out + values.size());
    for (size_t i = 0, t = 0; i < values.size(); ++i) {
        out[i] = values[i];
        if (values[i].Type == EvtVarTypeString && values[i].StringVal != kOutside) {
            out[i].StringVal = wcscpy(strings, texts[t++]);
            strings += wcslen(strings) + 1;
        }
    }
    return TRUE;
}
BOOL WINAPI Close(EVT_HANDLE) {
    return --openEvtHandles, TRUE;
}

TEST(VetoLog, ReadsEachRecordsValuesByPositionAndItsTimeAndClosesEveryHandle) {
    const win32::WevtApi standIns{&Query, &Next, &Context, &Render, &Close};
    const std::vector<VetoEvent> events = win32::VetoLogWin32(standIns).Read();
    ASSERT_EQ(events.size(), 2u);
    const std::vector<EventValue>& veto = events[0].values;
    ASSERT_EQ(veto.size(), 8u);
    EXPECT_EQ(veto[0].type, EventValueType::UInt32);
    EXPECT_EQ(veto[0].number, 1234u);
    EXPECT_EQ(veto[2].text, u"\\Device\\HarddiskVolume3\\Windows\\System32\\dllhost.exe");
    EXPECT_EQ(veto[4].text, u"USB\\VID_0781&PID_5581\\4C53");
    EXPECT_EQ(veto[6].type, EventValueType::Null);
    EXPECT_EQ(veto[7].number, 1u);
    EXPECT_EQ(events[0].time, 134411856050000000u);
    const std::vector<EventValue>& odd = events[1].values;
    EXPECT_EQ(odd[0].type, EventValueType::String);
    EXPECT_EQ(odd[7].type, EventValueType::Other);  // its text lies outside what was rendered
    EXPECT_EQ(events[1].time, 134412048000000000u);
    EXPECT_EQ(sizeQueries, 4);  // each record's values and time, size first
    EXPECT_EQ(openEvtHandles, 0);
}

int queryCalls = 0;
// 700 ids, this process's among them, answered only into a buffer that holds them all.
LONG NTAPI ProcessIds(HANDLE, win32::nt::IoStatus* io, PVOID buffer, ULONG size, ULONG kind) {
    ++queryCalls;
    std::vector<ULONG_PTR> list = {700};
    for (ULONG_PTR i = 0; i < 700; ++i)
        list.push_back(i == 350 ? GetCurrentProcessId() : i * 4 + 1);
    if (kind != win32::nt::kFileProcessIdsUsingFileInformation)
        return static_cast<LONG>(0xC0000003L);  // STATUS_INVALID_INFO_CLASS
    if (size < list.size() * sizeof(ULONG_PTR))
        return static_cast<LONG>(0xC0000004L);  // STATUS_INFO_LENGTH_MISMATCH
    memcpy(buffer, list.data(), list.size() * sizeof(ULONG_PTR));
    io->information = list.size() * sizeof(ULONG_PTR);
    return 0;
}
LONG NTAPI Refuses(HANDLE, win32::nt::IoStatus*, PVOID, ULONG, ULONG) {
    return static_cast<LONG>(0xC0000022L);  // STATUS_ACCESS_DENIED
}

TEST(VolumeUsers, GrowsTheBufferUntilTheListFitsAndLeavesOutTheAskingProcess) {
    const std::optional<std::vector<uint32_t>> ids =
        win32::VolumeUsersWin32(&ProcessIds).ProcessIds(u'C');
    ASSERT_TRUE(ids.has_value());
    EXPECT_EQ(ids->size(), 699u);
    EXPECT_EQ(ids->front(), 1u);
    EXPECT_EQ(ids->back(), 699u * 4 + 1);
    EXPECT_EQ(queryCalls, 2);  // 4 KiB, then 8 KiB
    EXPECT_FALSE(win32::VolumeUsersWin32(&Refuses).ProcessIds(u'C'));
}

// A shell that never answers: the caller hears so after the time limit; the asking thread is left
// waiting until the test lets it go.
const HANDLE letGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
HRESULT Hangs(void** object) {
    WaitForSingleObject(letGo, 30'000);
    return *object = nullptr, REGDB_E_CLASSNOTREG;
}

TEST(ShellWindows, AShellThatDoesNotAnswerIsAnErrorAfterFiveSeconds) {
    const ULONGLONG start = GetTickCount64();
    EXPECT_THROW(win32::ShellWindowsWin32(&Hangs).List(), PlatformError);
    EXPECT_NEAR(static_cast<double>(GetTickCount64() - start), 5000, 500);
    SetEvent(letGo);
}

// The real calls, as Wine 8 answers them (measured): wevtapi opens no channel, and its EvtQuery
// leaves the last error at 0, so the reason reads "成功。 (0)" where Windows names its error; the
// file system keeps no list of a volume's users (not implemented); the shell's window list is,
// depending on the session, not registered (REGDB_E_CLASSNOTREG, 1 session of 5) or answers in
// 60-1500 ms with no window, even while Wine's explorer shows a folder window.
TEST(WhyOnWine, TheRealCallsAnswer) {
    try {
        win32::VetoLogWin32().Read();
        ADD_FAILURE() << "Wine's System log was read";
    } catch (const PlatformError& error) {
        EXPECT_EQ(error.Operation(), u"EvtQuery(System)");
        EXPECT_FALSE(error.Detail().empty());
    }
    EXPECT_FALSE(win32::VolumeUsersWin32().ProcessIds(u'C'));
    win32::ShellWindowsWin32 shell;
    try {
        EXPECT_TRUE(shell.List().empty());
        EXPECT_FALSE(shell.Close(0x10010));
    } catch (const PlatformError& error) {
        EXPECT_EQ(error.Operation(), u"CoCreateInstance(ShellWindows)");
    }
}

}  // namespace

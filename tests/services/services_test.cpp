// Each Win32 service of the program alone against the real system under Wine: the clipboard, the
// Tool Help process table, the program starter, the responsive wait, the ANSI code page, the
// system's error texts, the handle scan and its name queries, and the WinHTTP transport over real
// HTTPS against the stand-in service. The transport's groups each run against their own service
// configuration (tests/e2e/scenarios/services_*), named in CMakeLists.txt.
#include <gtest/gtest.h>
#include <windows.h>

#include <process.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/platform_error.h"
#include "platform/win32/ansi_code_page_win32.h"
#include "platform/win32/clipboard_win32.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/console_input_win32.h"
#include "platform/win32/dynamic_calls_win32.h"
#include "platform/win32/event_pump_win32.h"
#include "platform/win32/handle_scan_win32.h"
#include "platform/win32/name_query_worker_win32.h"
#include "platform/win32/nt_api_win32.h"
#include "platform/win32/program_starter_win32.h"
#include "platform/win32/text.h"
#include "platform/win32/toolhelp_processes.h"
#include "platform/win32/winhttp_transport.h"
#include "repair/kill_process.h"
#include "repair/responsive_wait.h"
#include "text/utf8.h"
#include "wine_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using varnel::PlatformError;
using varnel::ToUtf8;
using varnel::win32::WinHttpTransport;
using namespace wine_support;  // BuildFolder, WaitUntil, ReadBytes, CopyTool, Swapped*, Refused

const fs::path kBuild = wine_support::BuildFolder();

HWND MessageWindow(WNDPROC procedure) {
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
    SetWindowLongPtrW(window, GWLP_WNDPROC, LONG_PTR(procedure));
    return window;
}

// What the PlatformError of an action says, "<operation>: <detail>", or "(none)" when it throws
// none.
std::u16string Failure(const std::function<void()>& action) {
    try {
        action();
    } catch (const PlatformError& error) {
        return error.Operation() + u": " + error.Detail();
    }
    return u"(none)";
}

// An exchange over the given WinHTTP table with port 1 of this machine, where nothing listens: it
// fails once its options are set, unless something fails before.
std::u16string PostToNothing(const varnel::win32::WinHttpApi& api) {
    return Failure([&] { WinHttpTransport(api, 2s).Post(u"https://localhost:1/", u"a/b", ""); });
}

TEST(Clipboard, EmptyRemovesTheTextOnItAndFailsWhileAnotherProgramHoldsIt) {
    const HWND owner = MessageWindow(DefWindowProcW);
    ASSERT_TRUE(WaitUntil([&] { return OpenClipboard(owner) != FALSE; }, 2000));
    EmptyClipboard();
    const wchar_t text[] = L"剪贴板上的文字";
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
    memcpy(GlobalLock(memory), text, sizeof text);
    GlobalUnlock(memory);
    EXPECT_NE(SetClipboardData(CF_UNICODETEXT, memory), nullptr);
    CloseClipboard();
    varnel::win32::Win32Clipboard().Empty();
    EXPECT_EQ(CountClipboardFormats(), 0);
    DestroyWindow(owner);

    // One another program holds cannot be opened: it is tried again for a while (ten pauses of
    // 10 ms, which Wine's clock may see as a little less), then the failure is shown; so is one the
    // system does not empty.
    const std::tuple<const char*, std::u16string, ULONGLONG> rows[] = {
        {"OpenClipboard", u"打开剪贴板: ", 60}, {"EmptyClipboard", u"清空剪贴板: ", 0}};
    for (const auto& [function, failure, minMs] : rows) {
        const SwappedImport refused(function, &Refused);
        const ULONGLONG start = GetTickCount64();
        EXPECT_TRUE(Failure([] { varnel::win32::Win32Clipboard().Empty(); }).starts_with(failure));
        EXPECT_GE(GetTickCount64() - start, minMs) << function;
    }
}

// The system's text of an error with its number after it. (Wine's winhttp.dll holds no texts of
// its own numbers.)
TEST(SystemErrorText, GivesTheTextAndTheNumber) {
    const std::u16string text = varnel::win32::SystemErrorText(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(text.ends_with(u" (5)") && text.size() > 5 && !text.starts_with(u"error (") &&
                text.find_first_of(u"\r\n") == std::u16string::npos)
        << ToUtf8(text);
    EXPECT_EQ(varnel::win32::SystemErrorText(0x20004242), u"error (536887874)");
}

TEST(AnsiCodePage, GivesTheCodeOfEachUnitInCodePage936) {
    const varnel::win32::Win32AnsiCodePage codePage;
    const std::pair<char16_t, int> rows[] = {
        {u'a', 0x61}, {u'中', 0xD6D0 - 0x10000}, {u'\u0E01', '?'}};
    for (const auto& [unit, code] : rows)
        EXPECT_EQ(codePage.CodeOf(unit), code) << int(unit);
}

TEST(Processes, EndEveryCaseOfTheNameAndSpareLookAlikesAndTheProgramItself) {
    // The name, and whether it ends.
    const std::pair<const char*, bool> rows[] = {
        {"rundll32.exe", 1}, {"RunDll32.EXE", 1}, {"myrundll32.exe", 0}, {"rundll32.exe.bak", 0}};
    std::vector<HANDLE> copies;  // sleepers, each started from its full path
    for (const auto& [name, ends] : rows) {
        // A folder each: one folder cannot hold two spellings of a name.
        const fs::path path = kBuild / "services" / std::to_string(copies.size()) / name;
        ASSERT_TRUE(CopyTool(L"sleeper.exe", path)) << path;
        const intptr_t started = _wspawnl(_P_NOWAIT, path.c_str(), path.c_str(), nullptr);
        ASSERT_NE(started, -1) << path;
        copies.push_back(reinterpret_cast<HANDLE>(started));
    }
    varnel::win32::ToolhelpProcessTable table;
    varnel::KillProcess(table, u"rundll32.exe");
    varnel::KillProcess(table, u"services_tests.exe");  // Terminate never ends the program itself
    // The look-alikes are looked at last, when the others have had time to end.
    for (size_t i = 0; i < copies.size(); ++i)
        EXPECT_EQ(WaitForSingleObject(copies[i], rows[i].second ? 5000 : 0),
                  rows[i].second ? WAIT_OBJECT_0 : WAIT_TIMEOUT)
            << rows[i].first;

    // Terminate ends a process only while its id still has the listed name and start time, with
    // the documented exit code. (The list's parents and paths are seen by the console tier.)
    const DWORD lookAlike = GetProcessId(copies[2]);
    varnel::ProcessRecord record;
    for (const varnel::ProcessRecord& process : table.Snapshot())
        record = process.id == lookAlike ? process : record;
    EXPECT_TRUE(table.IsRunning(lookAlike));
    EXPECT_FALSE(table.Terminate({lookAlike, u"myrundll32.ex", 0, record.creationTime}));
    EXPECT_FALSE(table.Terminate({lookAlike, u"myrundll32.exe", 0, record.creationTime + 1}));
    EXPECT_TRUE(table.Terminate({lookAlike, u"MYRUNDLL32.EXE", 0, record.creationTime}));
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(copies[2], 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(copies[2], &code) && code == varnel::kEndedExitCode) << code;
    EXPECT_FALSE(table.IsRunning(lookAlike));
    EXPECT_FALSE(table.Terminate(record)) << "it has ended";
    EXPECT_FALSE(table.IsCritical(0xFFFFFFF0)) << "a process it cannot open";
    for (const HANDLE copy : copies)
        TerminateProcess(copy, 1);
}

// Asking to close reaches each visible top-level window of a process, never a hidden or an
// owned one; the clock runs while it sleeps.
TEST(Processes, AskEachVisibleTopLevelWindowToCloseAndTheClockRuns) {
    const auto popup = [](DWORD style, HWND owner) {
        return CreateWindowExW(0, L"STATIC", L"", WS_POPUP | style, 0, 0, 9, 9, owner, 0, 0, 0);
    };
    const HWND shown = popup(WS_VISIBLE, nullptr), hidden = popup(0, nullptr);
    popup(WS_VISIBLE, nullptr);
    popup(WS_VISIBLE, shown);
    EXPECT_EQ(varnel::win32::ToolhelpProcessTable().AskToClose(GetCurrentProcessId()), 2);
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
        DispatchMessageW(&message);
    EXPECT_FALSE(IsWindow(shown)) << "it was not asked to close";
    EXPECT_TRUE(DestroyWindow(hidden));

    varnel::win32::TickClock clock;
    const uint32_t start = clock.Now();
    clock.Sleep(100);
    EXPECT_GE(clock.Now() - start, 80u);
}

// A batch of name queries with one in the middle that does not answer: that one alone is given up
// at its limit and its thread ended; a new thread answers the rest and ends with the worker. (On
// Windows, a synchronous pipe that waits does this; here a stand-in hangs.)
HANDLE hungThread, answerThread;  // the threads of the hung query and of the latest other one

TEST(NameQueryWorker, GivesUpAHungQueryAtItsLimitAndAnswersTheRestOfItsBatch) {
    using varnel::win32::nt::Functions;
    static const Functions real = varnel::win32::nt::Ntdll();
    Functions hanging = real;
    hanging.queryObject = [](HANDLE object, ULONG kind, PVOID to, ULONG size, PULONG length) {
        const bool hangs = object == HANDLE(0x7770);
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                        hangs ? &hungThread : &answerThread, 0, FALSE, DUPLICATE_SAME_ACCESS);
        if (hangs)
            Sleep(INFINITE);
        return real.queryObject(object, kind, to, size, length);
    };
    const varnel::win32::ReplacedDll<Functions> replaced(hanging);
    // A named object, an unnamed one, the hung query, a handle that is none, another named one.
    const HANDLE batch[] = {CreateEventW(nullptr, 0, 0, L"varnel-query-1"),
                            CreateEventW(nullptr, 0, 0, nullptr), HANDLE(0x7770), HANDLE(0x7774),
                            CreateEventW(nullptr, 0, 0, L"varnel-query-2")};
    const std::optional<std::u16string> nameEnds[] = {u"\\varnel-query-1", u"", std::nullopt,
                                                      std::nullopt, u"\\varnel-query-2"};
    {
        varnel::win32::NameQueryWorker worker(300);
        std::vector<std::optional<std::u16string>> names;
        const ULONGLONG start = GetTickCount64();
        worker.Query(batch, names);
        EXPECT_LT(GetTickCount64() - start, 550u) << "more than the hung query's limit";
        ASSERT_EQ(names.size(), std::size(batch));
        for (size_t i = 0; i < names.size(); ++i) {
            const auto& [name, end] = std::tie(names[i], nameEnds[i]);
            EXPECT_TRUE(name.has_value() == end.has_value() &&
                        (end == u"" ? name == u"" : !name || name->ends_with(*end)))
                << i << ": " << ToUtf8(name.value_or(u"(none)"));
        }
        EXPECT_EQ(worker.Abandoned(), 1);
        EXPECT_EQ(WaitForSingleObject(hungThread, 5000), WAIT_OBJECT_0) << "the hung one runs on";
        EXPECT_NE(GetThreadId(hungThread), GetThreadId(answerThread));
    }
    EXPECT_EQ(WaitForSingleObject(answerThread, 0), WAIT_OBJECT_0) << "it outlived the worker";
}

// The handle scan lists a process's File handles with their names, and no handle of another type
// or with an access that pipes hold: here this program's own, a file opened for reading, the same
// file again with SYNCHRONIZE alone, and a named event.
TEST(HandleScan, ListsFileHandlesByNameAndSkipsOtherTypesAndPipeAccess) {
    const fs::path path = kBuild / "services" / "scanned.txt";
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "scanned";
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    HANDLE synchronizeOnly = nullptr;
    DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &synchronizeOnly, SYNCHRONIZE,
                    FALSE, 0);
    const HANDLE event = CreateEventW(nullptr, 0, 0, L"varnel-scanned");
    const DWORD self = GetCurrentProcessId();
    const varnel::win32::HandleScan scan = varnel::win32::ScanHandles({self});
    std::map<HANDLE, std::u16string> listed;
    for (const varnel::OpenObject& object : scan.files.at(self))
        listed[HANDLE(object.handle)] = object.name;
    EXPECT_TRUE(listed[file].ends_with(u"\\services\\scanned.txt")) << ToUtf8(listed[file]);
    EXPECT_FALSE(listed.contains(synchronizeOnly) || listed.contains(event));
    EXPECT_TRUE(scan.unreadable.empty());
    for (const HANDLE handle : {file, synchronizeOnly, event})
        CloseHandle(handle);
}

// The system's refusal to give an event or a thread to a worker, or a process list, is a failure.
TEST(SystemRefusal, IsReportedByTheWorkersAndTheProcessList) {
    const std::function<void()> workers[] = {[] { varnel::win32::NameQueryWorker(100); }};
    for (const char* function : {"CreateEventW", "CreateThread"}) {
        const SwappedImport refused(function, &Refused);
        for (const auto& worker : workers)
            EXPECT_TRUE(Failure(worker).starts_with(varnel::FromUtf8(function) + u": "))
                << function;
    }
    const SwappedImport noList("CreateToolhelp32Snapshot", &Refused);
    EXPECT_TRUE(Failure([] {
                    varnel::win32::ToolhelpProcessTable().Snapshot();
                }).starts_with(u"CreateToolhelp32Snapshot: "));
}

// The program starter runs the system folders' programs, never copies a search order would find
// first: recorder copies stand in for the prefix's explorer.exe and rundll32.exe, and others
// named like them sit in the test program's folder, which is its current folder too.
TEST(ProgramStarter, RunsTheSystemFoldersProgramWithTheCommandLineAndShowStyle) {
    const fs::path windows = std::getenv("WINDIR"), system = windows / "system32";
    const fs::path tests = kBuild / "tests", log = kBuild / "services" / "recorder.log";
    const wchar_t* const names[] = {L"explorer.exe", L"RUNDLL32.EXE"};
    for (const wchar_t* name : names)
        ASSERT_TRUE(CopyTool(L"recorder.exe", tests / name));
    fs::current_path(tests);  // beside the program and in the current folder at once
    fs::remove(log);
    SetEnvironmentVariableW(L"VARNEL_RECORDER_LOG", log.c_str());
    // A handle of the test program that a started program could only signal if it inherited it.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const HANDLE event = CreateEventW(&inheritable, TRUE, FALSE, nullptr);
    SetEnvironmentVariableW(L"VARNEL_RECORDER_EVENT", std::to_wstring(uintptr_t(event)).c_str());
    {
        const SwappedFile shell(windows / "explorer.exe", L"recorder.exe");
        const SwappedFile rundll32(system / "rundll32.exe", L"recorder.exe");
        const std::pair<std::u16string, int> rows[] = {
            {u"explorer.exe http://x/", 2},
            {u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll", 1},
            {u"explorer.exe /select,\"C:\\a b\\报告.txt\"", 1}};
        std::string expected;
        for (const auto& [commandLine, show] : rows) {
            const bool isShell = commandLine.starts_with(u"explorer");
            varnel::win32::Win32ProgramStarter().Start(
                isShell ? varnel::SystemProgram::Shell : varnel::SystemProgram::Rundll32,
                commandLine, show);
            // One line a start: path=, exe=, show=, args=, cmdline=, separated by tabs.
            const fs::path program = isShell ? windows / "explorer.exe" : system / "rundll32.exe";
            expected += "path=" + program.string() + "\texe=" + program.filename().string() +
                        "\tshow=" + std::to_string(show) +
                        "\targs=" + ToUtf8(commandLine.substr(commandLine.find(u' ') + 1)) +
                        "\tcmdline=" + ToUtf8(commandLine) + "\r\n";
            WaitUntil([&] { return ReadBytes(log).size() >= expected.size(); }, 10000);
        }
        EXPECT_EQ(_stricmp(ReadBytes(log).c_str(), expected.c_str()), 0) << ReadBytes(log);
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "a handle was inherited";
    }
    {
        const SwappedFile rundll32(system / "rundll32.exe", nullptr);
        const std::u16string commandLine = u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll";
        EXPECT_TRUE(Failure([&] {
                        varnel::win32::Win32ProgramStarter().Start(varnel::SystemProgram::Rundll32,
                                                                   commandLine, 1);
                    }).starts_with(u"启动程序 " + commandLine + u": "));
    }
    for (const wchar_t* name : names)
        WaitUntil([&] { return DeleteFileW((tests / name).c_str()) != FALSE; }, 5000);
}

// The responsive wait over the real clock and message queue. A timer of the waiting thread's own
// window acts during the wait: it posts a message to the window, or posts the quit request.
bool handled = false;

LRESULT CALLBACK TimerWindow(HWND window, UINT message, WPARAM timer, LPARAM lParam) {
    if (message == WM_TIMER) {
        KillTimer(window, timer);
        timer == 1 ? void(PostMessageW(window, WM_APP, 0, 0)) : PostQuitMessage(7);
    }
    handled = handled || message == WM_APP;
    return DefWindowProcW(window, message, timer, lParam);
}

// The processor time the calling thread has used, in milliseconds.
ULONGLONG ThreadCpuMs() {
    FILETIME created, ended, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    return ((ULONGLONG{kernel.dwHighDateTime} << 32 | kernel.dwLowDateTime) +
            (ULONGLONG{user.dwHighDateTime} << 32 | user.dwLowDateTime)) /
           10000;
}

TEST(EventWait, WaitsItsTimeDispatchingMessagesAndEndsEarlyOnQuit) {
    const HWND window = MessageWindow(TimerWindow);
    // The window's timer (1: posts a message, 2: the quit request), the wait asked for, and the
    // least and most it may last.
    const std::tuple<UINT_PTR, int16_t, ULONGLONG, ULONGLONG> rows[] = {{1, 300, 300, 1000},
                                                                        {2, 5000, 90, 2000}};
    for (const auto& [timer, waitMs, minMs, maxMs] : rows) {
        handled = false;
        varnel::win32::TickClock clock;
        varnel::win32::Win32EventPump pump;
        SetTimer(window, timer, 100, nullptr);
        SetTimer(window, 3, 8000, nullptr);  // a quit that ends a wait which would never end
        const ULONGLONG start = GetTickCount64(), cpuStart = ThreadCpuMs();
        EXPECT_EQ(varnel::ResponsiveWait(clock, pump).WaitMs(waitMs), timer == 1);
        KillTimer(window, 3);
        EXPECT_LT(ThreadCpuMs() - cpuStart, 30u) << "a wait sleeps; it does not spin";
        EXPECT_GE(GetTickCount64() - start, minMs);
        EXPECT_LE(GetTickCount64() - start, maxMs);
        EXPECT_EQ(handled, timer == 1);
        MSG quit{};
        EXPECT_EQ(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE), timer == 2)
            << "the quit is left for the main loop";
        EXPECT_EQ(quit.wParam, timer == 2 ? 7u : 0u);
    }
    DestroyWindow(window);
}

// TLS 1.2 and 1.3 are asked for; where the system refuses 1.3's flag (older systems do),
// 1.2 alone, and where it refuses that too, the exchange fails before it starts. So it does where
// WinHTTP cannot be told to leave redirects to the exchange, which alone decides where it may go.
TEST(SecureProtocols, Tls12And13Or12AloneWhere13IsRefusedAndRedirectsLeftToTheExchange) {
    varnel::win32::WinHttpApi api = varnel::win32::WinHttp();
    static const auto real = api.SetOption;
    static std::vector<DWORD> asked;
    static int refusals;  // of the protocol flags
    static bool refuseRedirectPolicy;
    api.SetOption = [](HINTERNET handle, DWORD option, void* value, DWORD size) {
        if (option == WINHTTP_OPTION_SECURE_PROTOCOLS)
            asked.push_back(*static_cast<DWORD*>(value));
        const bool refused = option == WINHTTP_OPTION_SECURE_PROTOCOLS
                                 ? refusals-- > 0
                                 : option == WINHTTP_OPTION_REDIRECT_POLICY && refuseRedirectPolicy;
        return refused ? FALSE : real(handle, option, value, size);
    };
    const DWORD tls12 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    const DWORD both = tls12 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    const std::vector<DWORD> asks[] = {{both}, {both, tls12}, {both, tls12}, {both}};
    for (const int refused : {0, 1, 2, 3}) {  // 3: the protocols taken, the redirect policy not
        asked.clear();
        refusals = refused % 3;
        refuseRedirectPolicy = refused == 3;
        const std::u16string failed = PostToNothing(api);
        EXPECT_EQ(asked, asks[refused]) << refused;
        EXPECT_EQ(failed.starts_with(u"WinHttpSetOption: "), refused >= 2) << ToUtf8(failed);
    }
    // A C++ failure on the worker, memory running out, is the exchange's failure too.
    api.SetOption = [](HINTERNET, DWORD, void*, DWORD) -> BOOL { throw std::bad_alloc(); };
    EXPECT_TRUE(PostToNothing(api).starts_with(u"WinHTTP: "));
}

// The stand-in service's folder (a Linux path; Wine shows the root as drive Z:) holds its port and
// the requests it has recorded so far, in order.
fs::path ServiceFile(const std::string& name) {
    return fs::path("Z:" + std::string(std::getenv("VARNEL_TEST_SERVICE")) + "/" + name)
        .make_preferred();
}

unsigned ServicePort() {
    return static_cast<unsigned>(std::atoi(ReadBytes(ServiceFile("port")).c_str()));
}

std::vector<nlohmann::json> ServiceRequests() {
    std::istringstream lines(ReadBytes(
        ServiceFile(std::getenv("VARNEL_TEST_SCENARIO") + std::string(".requests.jsonl"))));
    std::vector<nlohmann::json> requests;
    for (std::string line; std::getline(lines, line);)
        requests.push_back(nlohmann::json::parse(line));
    return requests;
}

// MultiByteToWideChar as Windows has it, which refuses flags other than MB_ERR_INVALID_CHARS with
// UTF-8 where Wine takes them, on a system that lacks the code page `missing` (~0u: all of them).
std::atomic<UINT> missing = 0;
int WINAPI WindowsMultiByteToWideChar(UINT page, DWORD flags, LPCCH bytes, int size, LPWSTR text,
                                      int length) {
    static const auto system =
        reinterpret_cast<decltype(&MultiByteToWideChar)>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32"), "MultiByteToWideChar")));
    if (page == missing || missing == ~0u) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (page == CP_UTF8 && (flags & ~DWORD(MB_ERR_INVALID_CHARS)) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    return system(page, flags, bytes, size, text, length);
}

// The form's bytes are given as they are, not as text.
varnel::HttpAnswer Post(std::chrono::milliseconds limit = 10s) {
    const std::string url =
        "https://localhost:" + std::to_string(ServicePort()) + "/index.php/Index/soft_version";
    return WinHttpTransport(std::nullopt, limit)
        .Post(varnel::FromUtf8(url), u"application/x-www-form-urlencoded", "sn=kesto&t=\xD6\xD0");
}

// services_answers: the service answers request n with step n of its scenario, so the rows run in
// that order, one request each. The answers are read as Windows reads them.
TEST(TransportAnswers, EachAnswerAsTheServiceGaveIt) {
    const SwappedImport windowsRules("MultiByteToWideChar", &WindowsMultiByteToWideChar);
    const struct {
        const char* name;
        int status;  // 0: Post fails
        std::u16string body;
    } rows[] = {
        {"plain answer", 200, u"{\"result\":1}"},
        {"server error page", 500, u"<html><body>500 内部错误</body></html>"},
        {"charset=gbk", 200, u"当前软件为最新版本"},
        {"exactly 1 MiB", 200, std::u16string(1024 * 1024, u'a')},
        {"1 MiB and a byte", 0, u""},
        {"307 to a path of the same host", 200, u"moved"},
        {"307 to another port", 0, u""},
        {"308 to the same host's address spelt in capitals", 200, u"moved again"},
        {"307 to //host/path, which names no scheme", 0, u""},
        {"307 to exactly //", 0, u""},
        {"301", 200, u"moved by 301"},
        {"302", 200, u"moved by 302"},
        {"303", 200, u"moved by 303"},
    };
    for (const auto& row : rows) {
        varnel::HttpAnswer answer;  // stays empty, with status 0, when Post fails
        const std::u16string failure = Failure([&] { answer = Post(); });
        EXPECT_EQ(answer.status, row.status) << row.name << ": " << ToUtf8(failure);
        EXPECT_TRUE(answer.body == row.body)
            << row.name << ": " << ToUtf8(answer.body.substr(0, 80));
    }
    // An answer in a code page the system lacks is read as UTF-8; with no code page, it fails.
    missing = 936;
    EXPECT_TRUE(Post().body == u"{\"result\":1}");
    missing = ~0u;
    EXPECT_TRUE(Failure([] { Post(); }).starts_with(u"MultiByteToWideChar: "));
    missing = 0;
    // A body cut short of its Content-Length fails, though the part that came reads as JSON.
    EXPECT_TRUE(Failure([] { Post(); }).starts_with(u"WinHttpReadData: ")) << "short body";
    const auto requests = ServiceRequests();
    ASSERT_EQ(requests.size(), std::size(rows) + 8)
        << "a request a row and these three, redirects' twice";
    EXPECT_EQ(requests[0]["method"], "POST");
    EXPECT_EQ(requests[0]["path"], "/index.php/Index/soft_version");
    EXPECT_EQ(requests[0]["body_hex"], "736e3d6b6573746f26743dd6d0");
    std::string headers;  // "name: value" lines, and in lower case
    for (const auto& header : requests[0]["headers"])
        headers += header[0].get<std::string>() + ": " + header[1].get<std::string>() + "\n";
    std::string lower = headers;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    EXPECT_EQ(lower.find("user-agent:"), std::string::npos) << headers;
    EXPECT_EQ(lower.find("content-type:"), lower.rfind("content-type:")) << headers;
    EXPECT_NE(headers.find("CONTENT-TYPE: application/x-www-form-urlencoded\n"), std::string::npos);
    EXPECT_EQ(requests[6]["path"], "/index.php/Index/moved");
    EXPECT_EQ(requests[6]["body_hex"], requests[0]["body_hex"]);
    EXPECT_EQ(requests[9]["path"], "/index.php/Index/moved?x=1");
}

// services_untrusted and services_tls_1_0 run this: the handshake fails, so nothing reaches the
// service, which would otherwise answer.
TEST(TransportRefuses, TheServersHandshake) {
    EXPECT_THROW(Post(), PlatformError);
    EXPECT_TRUE(ServiceRequests().empty());
}

// services_hang: the service reads each request and never answers. The exchange fails at its time
// limit, bounded by WinHTTP's own time-outs on the exchange's thread. (That the window answers
// meanwhile, and shows the failure in time, is the e2e liveness test's.)
TEST(TransportHang, EndsAtTheTimeLimit) {
    const ULONGLONG start = GetTickCount64();
    const std::u16string failure = Failure([] { Post(2s); });
    // Windows reports its time-out as 12002; Wine's response time-out as the socket's 10060.
    EXPECT_TRUE(failure.ends_with(u"(12002)") || failure.ends_with(u"(10060)")) << ToUtf8(failure);
    EXPECT_GE(GetTickCount64() - start, 1900u);
    EXPECT_LE(GetTickCount64() - start, 3000u);
}

}  // namespace

// Only a person at a console agrees to a forced dismount: the test program's standard input is
// not a console (the session gives it /dev/null), so the question is not even asked.
TEST(ConsoleInput, InputThatIsNoConsoleNeverAgrees) {
    EXPECT_FALSE(varnel::win32::ConsoleInputWin32().AskYesNo(u"继续? (y/N)"));
}

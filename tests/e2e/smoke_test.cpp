// What only the whole program shows: the real varnel-unplug.exe under Wine, worked from another
// process as a user would. Everything else is tested in cheaper tiers (tests/unit, tests/window,
// tests/services). Each test is one ctest entry (CMakeLists.txt), with the stand-in version
// service answering as its scenario says.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <process.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "layout/holders_layout.h"
#include "layout/layout.h"
#include "wine_support.h"

namespace {

namespace fs = std::filesystem;

using namespace varnel;  // the main window's control and menu ids
const std::wstring kCloseQuestion = L"是否确定退出软件?";
const std::string kWindows = std::getenv("windir");
// The system's programs that recorders (build/tools) stand in for during every test, so that
// each start is logged and nothing real opens.
const fs::path kRecorded[] = {kWindows + "\\explorer.exe", kWindows + "\\system32\\rundll32.exe"};
const fs::path kBuild = wine_support::BuildFolder();
using namespace wine_support;  // BuildFolder, WaitUntil, SwappedFile

std::vector<DWORD> ProcessesNamed(const wchar_t* image) {  // in any case
    std::vector<DWORD> pids;
    const HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(all, &entry); more; more = Process32NextW(all, &entry))
        if (CompareStringOrdinal(image, -1, entry.szExeFile, -1, TRUE) == CSTR_EQUAL)
            pids.push_back(entry.th32ProcessID);
    CloseHandle(all);
    return pids;
}

// Every test starts clean whatever an earlier one left: no instance of the program (so no box of
// it), the shell running, the desktop at its default DPI, the clipboard free; and with the
// recorders in place and an empty folder build/<preset>/e2e/run/<test> of its own, the working
// folder of what it starts. What a test starts is ended after it.
struct E2e : ::testing::Test {
    void SetUp() override {
        for (const DWORD pid : ProcessesNamed(L"varnel-unplug.exe"))
            started.push_back(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
        TearDown();
        GetDesktopWindow();  // Wine starts its shell, explorer.exe, for a session's first window
        ASSERT_TRUE(WaitUntil([] { return !ProcessesNamed(L"explorer.exe").empty(); }, 5000));
        ASSERT_TRUE(WaitUntil([] { return OpenClipboard(nullptr) && CloseClipboard(); }, 5000));
        for (const fs::path& path : kRecorded)
            recorders.push_back(std::make_unique<SwappedFile>(path, L"recorder.exe"));
        dir = kBuild / L"e2e\\run" / testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
        SetCurrentDirectoryW(dir.c_str());
        SetEnvironmentVariableW(L"VARNEL_RECORDER_LOG", (dir / L"recorder.log").c_str());
    }
    void TearDown() override {
        for (const HANDLE process : started) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
        started.clear();
        if (!driveFolder.empty())
            RunTool(L"define_drive.exe", L"T: --remove");
        driveFolder.clear();
        // The system's programs back, also those an interrupted run left aside.
        recorders.clear();
        for (const fs::path& path : kRecorded)
            SwappedFile::Restore(path);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
    }

    // A helper that cannot go on ends the test: GoogleTest reports the exception as a failure.
    static void Need(bool condition, const char* what) {
        if (!condition)
            throw std::runtime_error(what);
    }
    // Starts the program from a copy in the test's folder (ended after the test) and waits for
    // its window; if `ready`, also for the end of the start-up check, which enables the buttons.
    void StartProgram(bool ready) {
        const fs::path copy = dir / L"varnel-unplug.exe";
        CopyFileW((kBuild / L"varnel-unplug.exe").c_str(), copy.c_str(), FALSE);
        const intptr_t process =
            _wspawnl(_P_NOWAIT, copy.c_str(), (L"\"" + copy.native() + L"\"").c_str(), nullptr);
        Need(process != -1, "cannot copy or start the program");
        program = started.emplace_back(reinterpret_cast<HANDLE>(process));
        Need(WaitUntil([&] { return (main = TopLevel(L"VarnelUnplugForm1")) != nullptr; }, 15000),
             "no main window within 15 s");
        Need(!ready || WaitUntil([&] { return Enabled(kCommand1) && Enabled(kCommand5); }, 15000),
             "the start-up check did not end within 15 s");
    }

    static std::wstring Text(HWND window) {
        std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
        return text.substr(0, GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
    }
    HWND Control(int id) const { return GetDlgItem(main, id); }
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)); }

    // A visible top-level window of that class (only the program shows any); for a box, one
    // saying that text.
    static HWND TopLevel(const wchar_t* className, const std::wstring& text = L"") {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, className, nullptr)) != nullptr;)
            if (IsWindowVisible(w) && (text.empty() || Text(GetDlgItem(w, 0xFFFF)) == text))
                return w;
        return nullptr;
    }
    // A box of the program's, owned by its main window (which it blocks while it is open).
    HWND WaitForBox(const std::wstring& text) const {
        HWND box = nullptr;
        Need(WaitUntil([&] { return (box = TopLevel(L"#32770", text)) != nullptr; }, 15000),
             "no box says so");
        EXPECT_EQ(GetWindow(box, GW_OWNER), main);
        return box;
    }
    static void Press(HWND box, int id) {
        PostMessageW(GetDlgItem(box, id), BM_CLICK, 0, 0);
        Need(WaitUntil([box] { return !IsWindowVisible(box); }, 5000), "the box stayed open");
    }

    size_t LogCount() const { return SendMessageW(Control(kList1), LB_GETCOUNT, 0, 0); }
    // Each start the recorders logged: "path=<path>\texe=<name>\tshow=<wShowWindow>\targs=<the
    // command line after the program's name>", the whole command line left off. A line still
    // being written is not read.
    std::vector<std::string> RecorderLog() const {
        std::ifstream file(dir / L"recorder.log", std::ios::binary);
        std::vector<std::string> starts;
        for (std::string line; std::getline(file, line) && line.ends_with('\r');)
            starts.push_back(line.substr(0, line.find("\tcmdline=")));
        return starts;
    }

    // Starts a program of build/<preset>/tools with those arguments; returns the process, which
    // is ended after the test.
    HANDLE StartTool(const wchar_t* tool, const std::wstring& arguments) {
        std::wstring line = L"\"" + (kBuild / L"tools" / tool).native() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        Need(CreateProcessW((kBuild / L"tools" / tool).c_str(), line.data(), nullptr, nullptr,
                            FALSE, 0, nullptr, nullptr, &startup, &info),
             "cannot start a tool");
        CloseHandle(info.hThread);
        return started.emplace_back(info.hProcess);
    }
    DWORD RunTool(const wchar_t* tool, const std::wstring& arguments) {
        const HANDLE process = StartTool(tool, arguments);
        DWORD code = STILL_ACTIVE;
        Need(WaitForSingleObject(process, 30000) == WAIT_OBJECT_0 &&
                 GetExitCodeProcess(process, &code),
             "a tool did not end within 30 s");
        return code;
    }
    // Defines the removable drive T: over the test's folder drive\ (on Z:, the Unix root).
    void DefineDriveT() {
        driveFolder = dir / L"drive";
        fs::create_directories(driveFolder);
        std::wstring unixPath = driveFolder.native();
        Need(unixPath.starts_with(L"Z:\\"), "the build folder is not on Z:");
        std::replace(unixPath.begin(), unixPath.end(), L'\\', L'/');
        Need(RunTool(L"define_drive.exe", L"T: \"" + unixPath.substr(2) + L"\"") == 0,
             "the mount manager refused T:");
    }
    // A holder.exe holding the path as the mode says; returns its process id once it holds it.
    DWORD StartHolder(const std::wstring& mode, const std::wstring& path) {
        const fs::path ready = dir / (L"ready-" + std::to_wstring(started.size()));
        const HANDLE process =
            StartTool(L"holder.exe", L"\"" + ready.native() + L"\" " + mode + L" " + path);
        DWORD pid = 0;
        Need(WaitUntil(
                 [&] {
                     const std::string text = ReadBytes(ready);  // written at once, or not yet
                     pid = text.ends_with('\n') ? std::strtoul(text.c_str(), nullptr, 10) : 0;
                     return pid != 0 || WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
                 },
                 30000) &&
                 pid != 0,
             "a holder did not hold within 30 s");
        return pid;
    }

    fs::path dir;
    fs::path driveFolder;  // T:'s folder while the test defines T:
    HANDLE program = nullptr;
    HWND main = nullptr;
    std::vector<HANDLE> started;
    std::vector<std::unique_ptr<SwappedFile>> recorders;
};

// At 144 DPI the program starts to the greeting, its window grown by half (the layout is in twips;
// that the font follows the DPI is the window tier's), and its file carries its icon images and
// version. Only the up-to-date answer turns the buttons on with no box shown first; the
// greeting's text is the window tier's.
TEST_F(E2e, StartsAt144DpiToTheGreeting) {
    const DWORD dpi = 144;  // for the programs started from now on
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi,
                    sizeof(dpi));
    StartProgram(true);
    EXPECT_EQ(Text(main), L"Varnel解决U盘无法拔出工具 V3.0.0");
    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(896L, 843L));

    const fs::path file = kBuild / L"varnel-unplug.exe";
    const HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC group =
        FindResourceW(module, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    ASSERT_NE(group, nullptr);
    // Three WORDs, the last the count; then 14-byte entries, the width first, the bit count at 6.
    const auto* icons = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    std::multiset<int> images;  // width * 100 + bit count
    for (int i = 0; i < reinterpret_cast<const WORD*>(icons)[2]; ++i)
        images.insert(icons[6 + 14 * i] * 100 + icons[6 + 14 * i + 6]);
    EXPECT_EQ(images, (std::multiset{1604, 1608, 1632, 3204, 3208, 3232, 4804, 4808, 4832}));
    FreeLibrary(module);
    BYTE version[16384] = {};
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(GetFileVersionInfoW(file.c_str(), 0, sizeof(version), version) &&
                VerQueryValueW(version, L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(std::pair(fixed->dwFileVersionMS, fixed->dwFileVersionLS), std::pair(0x30000ul, 0ul));
}

// Yes runs the whole sequence: seven lines, six pauses, the shell ended, two programs started;
// and the shell Command3 ends afterwards is started again at the program's end.
// (No, the order of the steps, and that the sequence leaves the status line and Command3's caption
// alone, are the unit tier's; which program starts with which command line is the window tier's;
// what each step does to the real clipboard and processes, and the real starts, are the services
// tier's; here, that the whole program runs them in time.)
TEST_F(E2e, OneClickFullRun) {
    StartProgram(true);
    PostMessageW(Control(kCommand4), BM_CLICK, 0, 0);
    const HWND question = WaitForBox(L"是否确定进行一键强力修复?");
    // What the driver sees is sampled until the run is over. A step fails only what the samples
    // prove: that it came too early, or much too late. The lines come after pauses of 2000, 2000,
    // 3000, 2000, 2000 ms and none, counted from the first; Command4 is enabled 1000 ms later.
    const ULONGLONG at[] = {0, 2000, 4000, 7000, 9000, 11000, 11000, 12000};
    std::set<std::wstring> times;  // the user's long time format of each second of the run
    const auto now = [&] {
        wchar_t time[128] = {};
        GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, time, 128);
        times.insert(time);
    };
    now();
    ULONGLONG beforeFirst = GetTickCount64(), first = 0;  // the first line came between them
    Press(question, IDYES);
    bool over = false;
    for (const ULONGLONG end = GetTickCount64() + 40000; !over && GetTickCount64() < end;
         Sleep(20)) {
        now();
        const ULONGLONG readFrom = GetTickCount64();
        const size_t starts = RecorderLog().size(), lines = LogCount();
        const bool enabled = Enabled(kCommand4);
        const ULONGLONG readUntil = GetTickCount64();
        EXPECT_TRUE(!enabled || lines == 0 || lines == 7);  // Command4 stays off during the run,
        EXPECT_TRUE(starts < 2 || enabled);                 // is on before the dialog starts,
        EXPECT_TRUE(starts == 0 || lines >= 4);             // the shell starts once it is ended
        beforeFirst = lines == 0 ? readFrom : beforeFirst;
        first = lines > 0 && first == 0 ? readUntil : first;
        for (size_t step = 1; lines > 0 && step < 8; ++step) {
            if (step < 7 ? lines > step : enabled)
                EXPECT_GE(readUntil, beforeFirst + at[step]) << "too early: step " << step;
            else
                EXPECT_LE(readFrom, first + at[step] + 1500) << "too late: step " << step;
        }
        over = (lines > 0 && enabled && starts == 2) || HasFailure();  // one report of a fault
    }
    // Each line "[ <time> ]<message>", the time one of the run's.
    std::vector<std::wstring> messages;
    for (size_t i = 0; i < LogCount(); ++i) {
        wchar_t line[512] = {};
        SendMessageW(Control(kList1), LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        const std::wstring text = line;
        const size_t end = text.starts_with(L"[ ") ? text.find(L" ]") : text.npos;
        EXPECT_TRUE(end != text.npos && times.count(text.substr(2, end - 2))) << "line " << i;
        messages.push_back(text.substr(end + 2));
    }
    EXPECT_EQ(messages, (std::vector<std::wstring>{
                            L"正进行一键强力修复...", L"已清空剪贴板...", L"已清除相关进程...",
                            L"已清除Explorer,正在重启...", L"已重启Explorer...",
                            L"一键强力修复完毕...", L"您可以尝试移除移动设备..."}));
    // The shell ended, and the recorder standing in for the one started again is gone too.
    EXPECT_TRUE(WaitUntil([] { return ProcessesNamed(L"explorer.exe").empty(); }, 3000));
    // A shell that Command3 ended comes back when the program ends: the same start once more.
    PostMessageW(Control(kCommand3), BM_CLICK, 0, 0);
    PostMessageW(main, WM_CLOSE, 0, 0);
    Press(WaitForBox(kCloseQuestion), IDYES);
    EXPECT_TRUE(WaitUntil([&] { return RecorderLog().size() == 3; }, 10000));
    EXPECT_EQ(RecorderLog().back(), RecorderLog().front());
}

// Yes opens the download page minimized through the shell and ends the program at once, even for
// an optional update (that no box and no button comes before the end is the unit tier's). A
// hostile sid stays inside the one quoted address.
TEST_F(E2e, UpdateOfferAcceptedOpensDownloadPage) {
    StartProgram(false);
    Press(WaitForBox(L"发现最新版本3.1.0\xFF0C是否现在更新?"), IDYES);
    EXPECT_EQ(WaitForSingleObject(program, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(WaitUntil([&] { return !RecorderLog().empty(); }, 10000));
    EXPECT_EQ(RecorderLog(),
              std::vector<std::string>{"path=" + kWindows +
                                       "\\explorer.exe\texe=explorer.exe\tshow=2\targs=\"https://"
                                       "www.varnel.example/index.php/Works/detail/sid/"
                                       "1%22%20%2Fselect%2CC%3A%5Cx\""});
}

// The service sends header lines without end. Windows' WinHTTP stops at its header limit and at
// the closing of the request handle; Wine's does neither, so there the check's thread reads on
// until the program ends. Either way the window answers within 500 ms every time it is asked, a
// close asks and No waits on, the failed check shows within 10 s of the window's appearing (9 s
// by design: the check starts after 1 s and gives up after 8 s), its OK turns the buttons on, and
// a close with Yes ends the program at once.
TEST_F(E2e, WindowAnswersWhileTheServiceNeverAnswers) {
    StartProgram(false);
    const ULONGLONG start = GetTickCount64();
    HWND box = nullptr;
    for (bool asked = false; !(box = TopLevel(L"#32770", L"检测失败,请先使用当前版本")) &&
                             GetTickCount64() - start < 10000;
         Sleep(100)) {
        EXPECT_TRUE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 500, nullptr));
        EXPECT_FALSE(Enabled(kCommand1));  // the buttons go on together (the window tier's)
        if (!asked && GetTickCount64() - start > 2000) {
            asked = true;
            PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
            Press(WaitForBox(kCloseQuestion), IDNO);
        }
    }
    ASSERT_NE(box, nullptr) << "no failure box within 10 s";
    EXPECT_GE(GetTickCount64() - start, 8000u) << "the service was not what failed the check";
    Press(box, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return Enabled(kCommand1) && Enabled(kCommand5); }, 2000));
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    Press(WaitForBox(kCloseQuestion), IDYES);
    EXPECT_EQ(WaitForSingleObject(program, 2000), WAIT_OBJECT_0);
}

// The cells of one column of a list view of another process: LVM_GETITEMTEXTW carries a pointer,
// so the item and its text live in the program's memory for the call.
std::vector<std::wstring> ListColumn(HWND list, int column) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    const HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    constexpr int kChars = 512;
    auto* remote = static_cast<BYTE*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kChars * 2, MEM_COMMIT, PAGE_READWRITE));
    std::vector<std::wstring> cells;
    const auto count = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; remote != nullptr && i < count; ++i) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        item.cchTextMax = kChars;
        wchar_t text[kChars] = {};
        WriteProcessMemory(process, remote, &item, sizeof(item), nullptr);
        SendMessageW(list, LVM_GETITEMTEXTW, i, LPARAM(remote));
        ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof(text) - 2, nullptr);
        cells.push_back(text);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return cells;
}

// A key pressed and released, posted to the window's thread (a menu's loop takes it from there).
void Key(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

// T: held by a program with a window (a box that ends on WM_CLOSE) and by one without: the third
// menu, reached with Alt and the arrows, opens T:'s window, which lists both; freeing all closes
// the first politely, asks once whether to end the second, and Yes ends it. (Which holders are
// spared and why, and how each line and question is worded, are the lower tiers'; here, that the
// real menu, scan, polite close and end work on real processes through the whole program.)
TEST_F(E2e, HoldersWindowFreesADriveHeldWithAndWithoutAWindow) {
    DefineDriveT();
    for (const wchar_t* name : {L"a.txt", L"b.txt"})
        std::ofstream(driveFolder / name) << "held";
    const DWORD polite = StartHolder(L"window", L"T:\\a.txt");
    const DWORD stubborn = StartHolder(L"file", L"T:\\b.txt");
    const HANDLE politeProcess = started[started.size() - 2], stubbornProcess = started.back();
    StartProgram(true);

    // The menu bar's first menu is selected, two to the right is 占用查询, Down opens it on its
    // first item; the drives are listed by letter, those the menu lists (removable and CD drives
    // here: Wine puts none on an external bus) before T: come first.
    PostMessageW(main, WM_SYSCOMMAND, SC_KEYMENU, 0);
    for (const WPARAM key : {VK_RIGHT, VK_RIGHT, VK_DOWN})
        Key(main, key);
    Need(WaitUntil([] { return TopLevel(L"#32768") != nullptr; }, 15000), "the menu did not open");
    for (wchar_t letter = L'A'; letter < L'T'; ++letter) {
        const wchar_t root[] = {letter, L':', L'\\', 0};
        const UINT type = GetDriveTypeW(root);
        if (type == DRIVE_REMOVABLE || type == DRIVE_CDROM)
            Key(main, VK_DOWN);
    }
    Key(main, VK_RETURN);
    HWND window = nullptr;
    // Shown once its controls exist.
    Need(WaitUntil(
             [&] {
                 window = FindWindowW(L"VarnelUnplugHolders", nullptr);
                 return window != nullptr && IsWindowVisible(window);
             },
             15000),
         "no holders window opened from the menu");
    EXPECT_EQ(Text(window), L"谁在占用 T:");

    const HWND list = GetDlgItem(window, kHoldersList);
    const auto idle = [&] { return !IsWindowVisible(GetDlgItem(window, kHoldersProgress)); };
    const auto pids = [&] {
        std::vector<std::wstring> cells = ListColumn(list, 1);
        std::sort(cells.begin(), cells.end());
        return cells;
    };
    std::vector<std::wstring> both = {std::to_wstring(polite), std::to_wstring(stubborn)};
    std::sort(both.begin(), both.end());
    ASSERT_TRUE(WaitUntil([&] { return idle() && pids() == both; }, 30000))
        << "the list did not come to name both holders: it names " << testing::PrintToString(pids())
        << ", the line says " << testing::PrintToString(Text(GetDlgItem(window, kHoldersLine)));

    const HWND freeAll = GetDlgItem(window, kHoldersFreeAll);
    ASSERT_TRUE(IsWindowEnabled(freeAll)) << "a click on a disabled button is no click";
    PostMessageW(freeAll, BM_CLICK, 0, 0);
    // One question, naming the second only, in a box the holders window owns.
    const std::wstring question = L"确定要结束以下进程吗? 未保存的数据将会丢失。\n\nholder.exe (" +
                                  std::to_wstring(stubborn) + L")";
    HWND box = nullptr;
    Need(WaitUntil([&] { return (box = TopLevel(L"#32770", question)) != nullptr; }, 30000),
         "no question to end the second holder");
    EXPECT_EQ(GetWindow(box, GW_OWNER), window);
    // The box comes once a look no longer sees the first; its process may still be on its way out.
    EXPECT_EQ(WaitForSingleObject(politeProcess, 5000), WAIT_OBJECT_0) << "it did not close";
    EXPECT_EQ(WaitForSingleObject(stubbornProcess, 0), WAIT_TIMEOUT);
    Press(box, IDYES);
    EXPECT_EQ(WaitForSingleObject(stubbornProcess, 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(WaitUntil([&] { return idle() && pids().empty(); }, 30000))
        << "the list still names a holder";
    EXPECT_EQ(Text(GetDlgItem(window, kHoldersLine)), L"已结束: holder.exe。");
}

}  // namespace

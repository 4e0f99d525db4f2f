// The menu 占用查询 on the real main window and the holders window it opens, in the test
// process on fake services: what the window shows, that it keeps answering while a look hangs,
// what closing, ending, ejecting and the elevated start reach, the keys and the drive picker.
#include "app/holders_window.h"
#include "app/holder_workers.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>

#include "app/main_window.h"
#include "fakes/fake_holders.h"
#include "fakes/fake_repair.h"
#include "fakes/fake_update_services.h"
#include "fakes/fake_window.h"
#include "layout/holders_layout.h"
#include "platform/win32/event_pump_win32.h"
#include "platform/win32/message_loop.h"

namespace varnel::win32 {
namespace {

using namespace varnel::testing;

// A fake's call waits here while the test holds the gate, and fails as memory exhausted would
// (not a failure of the system's) while the test says so.
struct Gate {
    void Pass() const {
        while (held)
            Sleep(5);
        if (exhausted)
            throw std::bad_alloc();
    }
    std::atomic<bool> held{false};
    bool exhausted = false;
};

// The fake system's scan and drive list, each behind a gate of its own.
struct GatedScanner : HolderScanner, Gate {
    explicit GatedScanner(FakeSystem& system) : system(system) {}
    std::vector<ProcessView> Scan() override {
        Pass();
        return system.Scan();
    }
    FakeSystem& system;
};

struct GatedDrives : Drives, Gate {
    explicit GatedDrives(FakeSystem& system) : system(system) {}
    std::vector<DriveInfo> List() override {
        Pass();
        return system.List();
    }
    std::u16string DeviceName(char16_t letter) override { return system.DeviceName(letter); }
    bool IsFolder(const std::u16string& path) override { return system.IsFolder(path); }
    FakeSystem& system;
};

struct Recorder : ShellStarter, WindowBoxes {
    void Execute(const std::u16string& verb, const std::u16string& path,
                 const std::u16string& arguments) override {
        started.push_back(verb + u"|" + path + u"|" + arguments);
    }
    int Show(HWND, const std::u16string& text, unsigned style) override {
        if (onShow)
            onShow();
        boxes.push_back(text);
        return style == kStyleInfoYesNo ? answer : kAnswerNone;
    }
    std::vector<std::u16string> started, boxes;
    int answer = kAnswerNo;
    std::function<void()> onShow;
};

// The main window on fakes with the holders menu attached; T: and E: are drives.
struct Rig {
    Rig() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        system.drives = {{u'E', DriveKind::Removable, u"", u"", 0},
                         {u'T', DriveKind::Removable, u"备份", u"NTFS", 1 << 30}};
        EXPECT_TRUE(form.Create(GetModuleHandleW(nullptr)));
        menu.Attach(form.Handle());
    }
    ~Rig() {
        scanner.held = false;
        Until([&] { return !Busy(); });  // no worker outlives the fakes
        DestroyWindow(form.Handle());
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&m);
    }
    // Pumps as the program's loop does until the condition holds (at most 5 s by default).
    static bool Until(const std::function<bool()>& done, int rounds = 1000) {
        for (int i = 0; i < rounds && !done(); ++i) {
            for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);)
                TranslateAndDispatch(nullptr, m);
            Sleep(5);
        }
        return done();
    }
    HWND Window(const wchar_t* caption = L"谁在占用 T:") const {
        return FindWindowW(L"VarnelUnplugHolders", caption);
    }
    HWND Item(int id) const { return GetDlgItem(Window(), id); }
    std::wstring Text(int id) const {
        wchar_t text[512] = {};
        GetWindowTextW(Item(id), text, 512);
        return text;
    }
    // Whether any holders window shows that it is searching.
    static bool Busy() {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"VarnelUnplugHolders", nullptr));)
            if (IsWindowVisible(GetDlgItem(w, kHoldersProgress)))
                return true;
        return false;
    }
    void Open(char16_t letter) {
        SendMessageW(form.Handle(), WM_COMMAND, kMenuHoldersDrive + (letter - u'A'), 0);
        Until([&] { return !Busy(); });
    }
    std::wstring Cell(int row, int column) const {
        wchar_t text[256] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 256;
        SendMessageW(Item(kHoldersList), LVM_GETITEMTEXTW, row, LPARAM(&item));
        return text;
    }
    void SelectAll() const {
        LVITEMW item{};
        item.stateMask = item.state = LVIS_SELECTED;
        SendMessageW(Item(kHoldersList), LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&item));
    }
    void Click(int id) {
        ASSERT_TRUE(IsWindowEnabled(Item(id)));  // Wine clicks disabled buttons too
        SendMessageW(Item(id), BM_CLICK, 0, 0);
        Until([&] { return !Busy(); });
    }

    FakeSystem system;
    GatedScanner scanner{system};
    GatedDrives drives{system};
    Recorder recorder;
    HoldersMenu menu{{{drives, scanner, system, system.starter, system.clock, system, system.log,
                       system.shell, system},
                      system,
                      recorder,
                      recorder}};
    FakeProcessTable processes;
    FakeClipboard clipboard;
    FakeProgramStarter starter;
    FakeClock clock;
    FakeEventPump pump{clock};
    FakeTransport transport;
    TableCodePage codePage{{}};
    FakeMessageBoxes boxes;
    FakeTimeOfDay timeOfDay;
    FakeProcessExit exit;
    MainWindow form{
        {processes, clipboard, starter, clock, pump, transport, codePage, boxes, timeOfDay, exit}};
};

std::vector<std::wstring> MenuItems(HMENU popup) {
    std::vector<std::wstring> items;
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(popup, i, text, 128, MF_BYPOSITION);
        const bool grayed = GetMenuState(popup, i, MF_BYPOSITION) & MF_GRAYED;
        items.push_back(text + std::wstring(grayed ? L" [off]" : L""));
    }
    return items;
}

TEST(HoldersWindow, TheMenuListsTheDrivesPresentAndOpensOneWindowPerDrive) {
    Rig r;
    const HMENU popup = GetSubMenu(GetMenu(r.form.Handle()), 2);
    auto opened = [&] {
        SendMessageW(r.form.Handle(), WM_INITMENUPOPUP, WPARAM(popup), 2);
        return MenuItems(popup);
    };
    // Drives slow to answer at the first opening: no list is known yet, which is not "none".
    r.drives.held = true;
    EXPECT_EQ(opened(), (std::vector<std::wstring>{L"(正在查找驱动器...) [off]"}));
    r.drives.held = false;
    EXPECT_TRUE(varnel::win32::WaitForHolderWorkers(5000));
    EXPECT_EQ(opened(),
              (std::vector<std::wstring>{L"E:  (无卷标)  (无介质)", L"T:  备份  (NTFS, 1.0 GB)",
                                         L" [off]", L"弹出全部可移动驱动器"}));
    // Ejecting them all runs on a worker and reports in a box; T: is on E:'s device.
    r.system.device = u"USB\\1";
    PostMessageW(r.form.Handle(), WM_COMMAND, kMenuHoldersEjectAll, 0);
    EXPECT_TRUE(r.Until([&] { return !r.recorder.boxes.empty(); }));
    EXPECT_EQ(r.recorder.boxes,
              (std::vector<std::u16string>{u"已弹出 E: (USB\\1),可以拔下设备了。\n"
                                           u"T: 与 E: 在同一设备上,已随 E: 一同处理。\n"}));
    EXPECT_EQ(r.system.requests, 1u);
    // Drives that do not answer in time leave the menu with the list known last; their answer
    // is there the next time.
    r.drives.held = true;
    r.system.drives.clear();
    EXPECT_EQ(opened().front(), L"E:  (无卷标)  (无介质)");
    r.drives.held = false;
    EXPECT_TRUE(varnel::win32::WaitForHolderWorkers(5000));
    EXPECT_EQ(opened(), (std::vector<std::wstring>{L"(没有可移动驱动器) [off]"}));

    r.Open(u'T');
    r.Open(u'T');
    const HWND first = r.Window();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(FindWindowExW(nullptr, first, L"VarnelUnplugHolders", nullptr), nullptr)
        << "a second request for T: opened a second window";
    EXPECT_EQ(GetWindow(first, GW_OWNER), r.form.Handle());
    RECT own{}, over{};  // centred over the main window, which fits the screen with it
    GetWindowRect(first, &own);
    GetWindowRect(r.form.Handle(), &over);
    EXPECT_NEAR(own.left + own.right, over.left + over.right, 2);
    EXPECT_NEAR(own.top + own.bottom, over.top + over.bottom, 2);
}

TEST(HoldersWindow, ShowsEachHolderWithItsKindsAndKeepsAnsweringWhileALookHangs) {
    Rig r;
    r.system.Hold(2);
    r.system.processes.push_back({7, u"guarded.exe", true, true, u"T:\\work\\", 0, {}, {}});
    r.Open(u'T');
    EXPECT_EQ(r.Cell(0, 0) + L"|" + r.Cell(0, 1) + L"|" + r.Cell(0, 2),
              L"editor.exe|2|打开的文件 T:\\a.txt");
    EXPECT_EQ(r.Cell(1, 2), L"当前目录 T:\\work");
    EXPECT_EQ(r.Text(kHoldersLine), L"有 2 个进程占用 T:。选中后可关闭或结束它们。");
    // A click on a column sorts by it; a second click on it turns the order round.
    NMLISTVIEW click{};
    click.hdr = {r.Item(kHoldersList), UINT_PTR(kHoldersList), UINT(LVN_COLUMNCLICK)};
    click.iSubItem = 1;
    for (const wchar_t* first : {L"2", L"7"}) {
        SendMessageW(r.Window(), WM_NOTIFY, kHoldersList, LPARAM(&click));
        EXPECT_EQ(r.Cell(0, 1), first);
    }
    // Typing a program's first letters selects its row, the next such row on each new letter.
    for (const auto& [typed, row] : {std::pair{L'E', 1}, {L'g', 0}}) {
        SendMessageW(r.Item(kHoldersList), WM_CHAR, typed, 1);  // once, as a key pressed
        EXPECT_EQ(SendMessageW(r.Item(kHoldersList), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED),
                  row)
            << char(typed);
        Sleep(600);  // the list takes a letter after a pause as a new search
    }
    r.Click(kHoldersRefresh);
    EXPECT_EQ(SendMessageW(r.Item(kHoldersList), LVM_GETSELECTEDCOUNT, 0, 0), 0)
        << "a row chosen before a look may be another process after it";

    r.scanner.held = true;
    PostMessageW(r.Window(), WM_KEYDOWN, VK_F5, 0);
    SetFocus(r.Item(kHoldersList));
    PostMessageW(r.Item(kHoldersList), WM_KEYDOWN, VK_F5, 0);  // F5 on the list
    r.Until([&] { return r.Busy(); });
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(r.Window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &answer));
    EXPECT_TRUE(r.Busy());
    EXPECT_EQ(r.Text(kHoldersLine), L"正在查找占用 T: 的进程...");
    EXPECT_FALSE(IsWindowEnabled(r.Item(kHoldersEject)));
    EXPECT_FALSE(varnel::win32::WaitForHolderWorkers(50)) << "the program's end waits for it";
    r.system.Stop(2);
    r.scanner.held = false;
    EXPECT_TRUE(r.Until([&] { return !r.Busy(); }));
    EXPECT_TRUE(varnel::win32::WaitForHolderWorkers(5000));
    EXPECT_EQ(SendMessageW(r.Item(kHoldersList), LVM_GETITEMCOUNT, 0, 0), 1);

    r.system.scanFails = true;
    r.Click(kHoldersRefresh);
    EXPECT_EQ(r.Text(kHoldersLine),
              L"无法查找占用的进程: NtQuerySystemInformation 失败, 拒绝访问。");
    EXPECT_TRUE(r.recorder.boxes.empty()) << "a refused look is a line, not a box";
    r.scanner.exhausted = true;
    r.Click(kHoldersRefresh);
    EXPECT_EQ(r.Text(kHoldersLine), L"无法查找占用的进程: 内部错误 失败, std::bad_alloc");

    // A text longer than the list's buffer (256 here) is cut before a character, never inside.
    r.scanner.exhausted = r.system.scanFails = false;
    const std::u16string deep = u"T:\\" + std::u16string(246, u'a') + u"\U0001F600b\\";
    r.system.processes.push_back({9, u"deep.exe", true, true, deep, 0, {}, {}});
    r.Click(kHoldersRefresh);
    const int row = r.Cell(0, 1) == L"9" ? 0 : 1;
    EXPECT_EQ(r.Cell(row, 2), L"当前目录 T:\\" + std::wstring(246, L'a'));
}

TEST(HoldersWindow, EndingAsksFirstAndSparesSelfCriticalAndUnidentified) {
    Rig r;
    for (uint32_t pid : {1, 2, 5, 6})
        r.system.Hold(pid);
    r.Open(u'T');
    r.SelectAll();
    r.Click(kHoldersEnd);  // answered No
    ASSERT_EQ(r.recorder.boxes.size(), 1u);
    EXPECT_EQ(r.recorder.boxes[0],
              u"确定要结束以下进程吗? 未保存的数据将会丢失。\n\neditor.exe (2)");
    EXPECT_EQ(r.system.journal, "");

    r.recorder.answer = kAnswerYes;
    r.SelectAll();
    r.Click(kHoldersEnd);
    EXPECT_EQ(r.system.journal, "end 2");
    EXPECT_EQ(SendMessageW(r.Item(kHoldersList), LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(r.Text(kHoldersLine),
              L"已结束: editor.exe; (未知程序) 无法识别的进程,不结束; svc.exe "
              L"系统关键进程,不结束; unplug.exe 本程序自身,不结束。");
}

// Freeing all asks every holder politely (2 closes, 3 does not), then asks once whether to end
// those left that may be ended: the critical 5 is neither asked nor named.
TEST(HoldersWindow, FreeingAllAsksPolitelyThenOffersToEndThoseLeft) {
    Rig r;
    for (uint32_t pid : {2, 3, 5})
        r.system.Hold(pid);
    r.Open(u'T');
    r.Click(kHoldersFreeAll);
    EXPECT_EQ(r.system.journal, "ask 2, ask 3");
    EXPECT_EQ(r.recorder.boxes,
              (std::vector<std::u16string>{
                  u"确定要结束以下进程吗? 未保存的数据将会丢失。\n\nstubborn.exe (3)"}));
    EXPECT_EQ(SendMessageW(r.Item(kHoldersList), LVM_GETITEMCOUNT, 0, 0), 2);
}

TEST(HoldersWindow, AVetoedEjectSaysWhyAndWhoAndLooksAgain) {
    Rig r;
    r.system.Hold(2);
    r.Open(u'T');
    r.system.device = u"USB\\VID_1";
    r.system.answers = {{false, 6, u"USB\\HUB"}};
    r.system.Hold(3);
    EXPECT_EQ(r.Text(kHoldersEject), L"弹出 T:");
    r.Click(kHoldersEject);
    EXPECT_EQ(r.Text(kHoldersLine),
              L"弹出 T: 被拒绝(已尝试 3 次): 设备拒绝了请求; 拒绝者: USB\\HUB");
    EXPECT_EQ(SendMessageW(r.Item(kHoldersList), LVM_GETITEMCOUNT, 0, 0), 2);
}

// The fake volume's lock is refused while 3 holds T:; the device vetoes three times, then accepts.
TEST(HoldersWindow, AfterAVetoForcedEjectIsOfferedAndAsksBeforeItStarts) {
    Rig r;
    r.system.Hold(3);
    r.Open(u'T');
    EXPECT_FALSE(IsWindowVisible(r.Item(kHoldersForce)));
    r.system.device = u"USB\\VID_1";
    r.system.answers = {{false, 3, u""}, {false, 3, u""}, {false, 3, u""}, {true, 0, u""}};
    r.Click(kHoldersEject);
    ASSERT_TRUE(IsWindowVisible(r.Item(kHoldersForce)));
    EXPECT_EQ(r.Text(kHoldersForce), L"强制弹出…");

    bool busyWhenAsked = true;
    r.recorder.onShow = [&] { busyWhenAsked = Rig::Busy(); };
    r.Click(kHoldersForce);  // answered no: the lock is refused, nothing is dismounted
    EXPECT_FALSE(busyWhenAsked) << "asked after the work had begun";
    EXPECT_EQ(r.recorder.boxes,
              (std::vector<std::u16string>{
                  u"仍有程序打开着 T: 上的文件,强制卸载可能使它们丢失未保存的数据。列出的程序: "
                  u"stubborn.exe (3) 是否继续?"}));
    EXPECT_EQ(r.system.journal, "");
    EXPECT_EQ(r.Text(kHoldersLine),
              L"无法锁定卷:仍有程序打开着其中的文件。 未确认,已停止:卷没有被强制卸载。");
    EXPECT_TRUE(IsWindowVisible(r.Item(kHoldersForce)));

    r.recorder.answer = kAnswerYes;
    r.Click(kHoldersForce);
    EXPECT_EQ(r.system.journal, "dismount");
    EXPECT_EQ(r.system.requests, 4u);
    EXPECT_EQ(r.Text(kHoldersLine),
              L"无法锁定卷:仍有程序打开着其中的文件。 已强制卸载卷:仍打开其中文件的程序将无法再保存"
              L"到该驱动器。 已弹出 T: (USB\\VID_1),可以拔下设备了。");
    EXPECT_FALSE(IsWindowVisible(r.Item(kHoldersForce)));
}

// A veto of T:'s disk by sync.exe (30, still running) an hour before the fake log's now.
VetoEvent SyncVeto() {
    const std::u16string image = u"\\Device\\HarddiskVolume1\\tools\\sync.exe";
    const auto n = [](uint64_t value) { return EventValue{EventValueType::UInt32, value, {}}; };
    const auto s = [](std::u16string text) { return EventValue{EventValueType::String, 0, text}; };
    return {{n(30), n(image.size()), s(image), n(10), s(u"USBSTOR\\1"), n(0), {}, n(1)},
            FakeVetoLog::kNow - 36'000'000'000};
}

// Above the list the last veto; in it a known holder's note, a process only the file system
// names, and Explorer's windows on T:. Ending a window's row only closes that window; freeing
// all closes the other through the shell first, so explorer.exe (9), which held its folder, is
// neither asked nor ended.
TEST(HoldersWindow, ShowsTheLastVetoKnownAndUnknownHoldersAndClosesExplorerWindowsFirst) {
    Rig r;
    r.system.Hold(2);
    r.system.Hold(9);
    r.system.processes.back().files = {{0, u"\\??\\T:\\sub"}};
    r.system.folders = {u"T:\\sub"};
    r.system.Hold(12);
    r.system.fileSystemIds = std::vector<uint32_t>{12};
    r.system.processes.push_back({20, u"MsMpEng.exe", true, true, u"", 0, {{0, u"T:\\a.txt"}}, {}});
    r.system.table.push_back({20, u"MsMpEng.exe"});
    r.system.table.push_back({30, u"sync.exe"});
    r.system.shell.windows = {{65536, u"T:\\sub"}, {65537, u"T:\\other"}, {7, u"C:\\Users"}};
    r.system.log.events = {SyncVeto()};
    r.Open(u'T');
    EXPECT_EQ(r.Text(kHoldersVeto),
              L"上次 Windows 拒绝弹出 T: 是因为 sync.exe(进程 30,2026-12-08 13:40:05,仍在运行)。");
    EXPECT_TRUE(IsWindowVisible(r.Item(kHoldersVeto)));
    auto listTop = [&] {
        RECT list{};
        GetWindowRect(r.Item(kHoldersList), &list);
        return list.top;
    };
    const LONG belowVeto = listTop();
    auto rows = [&] {
        std::vector<std::wstring> texts;
        const auto count = SendMessageW(r.Item(kHoldersList), LVM_GETITEMCOUNT, 0, 0);
        for (int row = 0; row < count; ++row)
            texts.push_back(r.Cell(row, 0) + L"|" + r.Cell(row, 1) + L"|" + r.Cell(row, 2) + L"|" +
                            r.Cell(row, 3));
        return texts;
    };
    EXPECT_EQ(rows(), (std::vector<std::wstring>{
                          L"editor.exe|2|打开的文件 T:\\a.txt|",
                          L"explorer.exe|9|打开的文件夹 T:\\sub|", L"hidden.exe|12|用途未知 T:|",
                          L"MsMpEng.exe|20|打开的文件 T:\\a.txt|病毒扫描: "
                          L"杀毒软件在扫描驱动器上的文件;等扫描结束后再试",
                          L"资源管理器窗口||T:\\sub|关闭此窗口即可,不必结束 explorer.exe",
                          L"资源管理器窗口||T:\\other|关闭此窗口即可,不必结束 explorer.exe"}));

    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED;
    SendMessageW(r.Item(kHoldersList), LVM_SETITEMSTATE, 5, LPARAM(&item));
    r.Click(kHoldersEnd);
    EXPECT_EQ(r.system.journal, "close 65537");
    EXPECT_TRUE(r.recorder.boxes.empty()) << "closing a window asks nothing";
    EXPECT_EQ(r.Text(kHoldersLine), L"已关闭资源管理器窗口: T:\\other。");
    SendMessageW(r.Item(kHoldersList), LVM_SETITEMSTATE, 4, LPARAM(&item));  // T:\sub's window
    r.Click(kHoldersClose);
    EXPECT_EQ(r.system.journal, "close 65537, close 65536");
    EXPECT_EQ(r.Text(kHoldersLine), L"已关闭资源管理器窗口: T:\\sub。");

    r.Click(kHoldersFreeAll);  // MsMpEng.exe stays: the question to end it is answered No
    EXPECT_EQ(r.system.journal, "close 65537, close 65536, ask 2, ask 20");
    EXPECT_EQ(r.recorder.boxes,
              (std::vector<std::u16string>{
                  u"确定要结束以下进程吗? 未保存的数据将会丢失。\n\nMsMpEng.exe (20)"}));
    EXPECT_EQ(rows().size(), 2u) << "MsMpEng.exe and the unknown user are left";
    r.system.log.fails = true;
    r.Click(kHoldersRefresh);
    EXPECT_FALSE(IsWindowVisible(r.Item(kHoldersVeto))) << "an unreadable log hides the line";
    EXPECT_LT(listTop(), belowVeto) << "the list moves up into the hidden line's place";
}

TEST(HoldersWindow, UninspectedProcessesOfferTheElevatedSearchForThisDrive) {
    Rig r;
    r.system.Hold(12);  // its handles cannot be read
    r.Open(u'T');
    EXPECT_EQ(r.Text(kHoldersUninspected), L"有 1 个进程无法检查");
    ASSERT_TRUE(IsWindowVisible(r.Item(kHoldersElevate)));
    r.Click(kHoldersElevate);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_EQ(r.recorder.started.size(), 1u);
    EXPECT_EQ(r.recorder.started[0],
              u"runas|" + std::u16string(reinterpret_cast<char16_t*>(self)) + u"|/holders T:");
}

TEST(HoldersWindow, ThePickerFollowsTheDrivesAndChoosesOneAndTheKeysAndTheDpiWork) {
    Rig r;
    r.Open(u'T');
    EXPECT_EQ(r.Text(kHoldersLine), L"没有进程占用 T:。下一步: 点击“弹出 T:”。");
    EXPECT_EQ(GetFocus(), r.Item(kHoldersEject)) << "ejecting is the next step";
    EXPECT_EQ(SendMessageW(r.Item(kHoldersDrive), CB_GETCOUNT, 0, 0), 2);
    r.system.drives.push_back({u'U', DriveKind::External, u"", u"exFAT", 1 << 20});
    SendMessageW(r.Window(), WM_DEVICECHANGE, 0x8000 /* DBT_DEVICEARRIVAL */, 0);
    EXPECT_EQ(SendMessageW(r.Item(kHoldersDrive), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(r.Item(kHoldersDrive), CB_GETCURSEL, 0, 0), 1) << "T: stays chosen";
    // A list that comes after its wait fills the picker again when it comes, if it is news.
    const auto count = [&] { return SendMessageW(r.Item(kHoldersDrive), CB_GETCOUNT, 0, 0); };
    r.drives.held = true;
    r.system.drives.pop_back();
    SendMessageW(r.Window(), WM_DEVICECHANGE, 0x8004 /* DBT_DEVICEREMOVECOMPLETE */, 0);
    EXPECT_EQ(count(), 3) << "the list known last";
    r.drives.held = false;
    EXPECT_TRUE(r.Until([&] { return count() == 2; }));
    // A list that fails says why, even for a failure that is not the system's.
    r.drives.exhausted = true;
    SendMessageW(r.Window(), WM_DEVICECHANGE, 0x8000 /* DBT_DEVICEARRIVAL */, 0);
    EXPECT_EQ(r.recorder.boxes,
              (std::vector<std::u16string>{u"操作失败：内部错误\nstd::bad_alloc"}));
    r.drives.exhausted = false;
    SendMessageW(r.Window(), WM_DEVICECHANGE, 0x8000 /* DBT_DEVICEARRIVAL */, 0);
    EXPECT_EQ(count(), 2);

    // Tab visits the controls in the table's order; the hidden elevation button is skipped.
    SetFocus(r.Item(kHoldersDrive));
    std::vector<int> order;
    for (int step = 0; step < 7; ++step) {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        r.Until([] { return false; }, 2);
        order.push_back(GetDlgCtrlID(GetFocus()));
    }
    EXPECT_EQ(order, (std::vector<int>{kHoldersList, kHoldersRefresh, kHoldersClose, kHoldersEnd,
                                       kHoldersFreeAll, kHoldersEject, kHoldersDrive}));

    // The size follows the DPI the message names, whatever rectangle comes with it.
    RECT bogus{0, 0, 10, 10};
    SendMessageW(r.Window(), WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(&bogus));
    RECT client{};
    GetClientRect(r.Window(), &client);
    EXPECT_EQ(client.right, TwipsToPixels(kHoldersClientWidthTwips, 144));
    EXPECT_EQ(client.bottom, TwipsToPixels(kHoldersClientHeightTwips, 144));

    // Another drive chosen in the picker: the window turns to it.
    const HWND window = r.Window();
    SendMessageW(r.Item(kHoldersDrive), CB_SETCURSEL, 0, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(kHoldersDrive, CBN_SELCHANGE),
                 LPARAM(r.Item(kHoldersDrive)));
    EXPECT_EQ(r.Window(L"谁在占用 E:"), window);
    r.Until([] { return !Rig::Busy(); });

    SetFocus(GetDlgItem(window, kHoldersList));
    PostMessageW(GetDlgItem(window, kHoldersList), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(r.Until([&] { return !IsWindow(window); }));
}

}  // namespace
}  // namespace varnel::win32

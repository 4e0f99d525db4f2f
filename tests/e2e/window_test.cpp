// The main window as the user meets it: its frame, controls, menus, status bar, close question
// and the log's popup menu.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <thread>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

const std::wstring kUsage =
    L"本程序可帮助您解决在拔出U盘/"
    L"硬盘时提示无法停止\"通用卷\"设备的问题，防止硬拔设备造成设备损坏。"
    L"您一定要确保您当前所有的文件已经关闭再使用本软件，否则使用多次也无任何效果，首先选择逐一排除"
    L"，"
    L"处理顺序按照从小到大排列，如果逐一排除无效,请点击一键强力修复下，欢迎使用Varnel更多免费产品:"
    L"http://www.varnel.example/";

// Reddish or greenish pixels: what an icon in the caption would bring.
int IconLikePixels(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    const LONG top = frame.top + GetSystemMetrics(SM_CYFRAME);
    int count = 0;
    for (const COLORREF c : ScreenPixels(
             {frame.left + 2, top, frame.left + 22, top + GetSystemMetrics(SM_CYCAPTION) - 2})) {
        const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
        if ((r > g + 60 && r > b + 60) || (g > r + 60 && g > b + 60))
            ++count;
    }
    return count;
}

SIZE ClientSize(const App& app) {
    RECT client{};
    GetClientRect(app.Main(), &client);
    return {client.right - client.left, client.bottom - client.top};
}

// Where a control lies in the main window's client area.
RECT ControlRect(const App& app, int id) {
    RECT rect{};
    GetWindowRect(app.Control(id), &rect);
    MapWindowPoints(nullptr, app.Main(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Keys as a menu loop reads them: in the order posted, each after the one before has taken
// effect. The caller waits for the state they lead to.
void PressKeys(HWND window, std::initializer_list<WPARAM> keys) {
    for (WPARAM key : keys) {
        PostMessageW(window, WM_KEYDOWN, key, 0);
    }
}

// Waits until the program has handled every message posted to it so far, and whatever they
// started at once. Its thread handles posted messages in order, so a button state posted after
// them shows once they are through; a window destroyed meanwhile never shows it.
bool PostedMessagesHandled(const App& app) {
    HWND marker = app.Control(kCommand1);
    PostMessageW(marker, BM_SETSTATE, TRUE, 0);
    const bool handled = WaitUntil(
        [&] { return (SendMessageW(marker, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }, 5000);
    PostMessageW(marker, BM_SETSTATE, FALSE, 0);
    return handled;
}

// Alt on its own: the menu bar takes the keyboard, its first menu selected.
void EnterMenuBar(const App& app) {
    PostMessageW(app.Main(), WM_SYSCOMMAND, SC_KEYMENU, 0);
    E2E_CHECK(WaitUntil([&] { return InMenuMode(app.Main()); }, 5000));
}

// A menu opened from the keyboard is drawn with its first item highlighted.
bool MenuDrawn(const App& app) {
    HWND popup = app.PopupMenu();
    RECT area{};
    if (popup == nullptr || !GetWindowRect(popup, &area)) {
        return false;
    }
    const std::vector<COLORREF> pixels = ScreenPixels(area);
    return std::find(pixels.begin(), pixels.end(), GetSysColor(COLOR_MENUHILIGHT)) !=
               pixels.end() ||
           std::find(pixels.begin(), pixels.end(), GetSysColor(COLOR_HIGHLIGHT)) != pixels.end();
}

// Keys typed into the menu loop, then a wait until a menu is open and drawn (or none is open).
// The loop takes posted keys in order, so only the state they lead to needs a wait.
void MenuKeys(const App& app, std::initializer_list<WPARAM> keys, bool menuOpenAfter) {
    for (WPARAM key : keys) {
        PostMessageW(app.Main(), WM_KEYDOWN, key, 0);
    }
    E2E_CHECK(WaitUntil([&] { return menuOpenAfter ? MenuDrawn(app) : app.PopupMenu() == nullptr; },
                        5000));
}

}  // namespace

// The service is down here: the failed check leaves the start-up state on screen until its box
// is answered.
E2E_TEST(window_frame_and_controls) {
    App app({.waitReady = false});
    E2E_CHECK_EQ(app.Caption(), L"Varnel解决U盘无法拔出工具 V3.0.0");
    E2E_CHECK_EQ(ClientSize(app).cx, 597L);
    E2E_CHECK_EQ(ClientSize(app).cy, 562L);

    const LONG style = GetWindowLongW(app.Main(), GWL_STYLE);
    E2E_CHECK((style & WS_THICKFRAME) == 0);
    E2E_CHECK((style & WS_MAXIMIZEBOX) == 0);
    E2E_CHECK((style & WS_MINIMIZEBOX) != 0);
    E2E_CHECK((style & WS_SYSMENU) != 0);

    // Centred on the screen's work area.
    RECT frame{}, work{};
    GetWindowRect(app.Main(), &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    E2E_CHECK(std::abs((frame.left + frame.right) - (work.left + work.right)) <= 2);
    E2E_CHECK(std::abs((frame.top + frame.bottom) - (work.top + work.bottom)) <= 2);

    E2E_CHECK_EQ(app.ControlText(kFrame1), L"逐一问题解决");
    E2E_CHECK_EQ(app.ControlText(kFrame2), L"操作过程");
    E2E_CHECK_EQ(app.ControlText(kCommand1), L"清空剪贴板");
    E2E_CHECK_EQ(app.ControlText(kCommand2), L"清除相关进程");
    E2E_CHECK_EQ(app.ControlText(kCommand3), L"清除Explorer");
    E2E_CHECK_EQ(app.ControlText(kCommand4), L"一键强力修复");
    E2E_CHECK_EQ(app.ControlText(kCommand5), L"弹出安全删除硬件的窗口");
    E2E_CHECK(!app.AnyButtonEnabled());
    E2E_CHECK(!IsWindowVisible(app.Control(kLabel1)));
    E2E_CHECK_EQ(app.ControlText(kLabel1), kUsage);
    E2E_CHECK_EQ(app.LogLines().size(), 0u);

    // A button of Frame1 lies at the frame's origin plus its offset: (240+120, 240+360) twips.
    const RECT button = ControlRect(app, kCommand1);
    E2E_CHECK_EQ(button.left, 24L);
    E2E_CHECK_EQ(button.top, 40L);
    E2E_CHECK_EQ(button.right - button.left, 105L);

    // The tab order is the z-order: by tab index.
    const int order[] = {kFrame1, kCommand1, kCommand2, kCommand3, kFrame2,
                         kS1,     kLabel1,   kList1,    kCommand5, kCommand4};
    HWND child = GetWindow(app.Main(), GW_CHILD);
    for (int id : order) {
        E2E_CHECK_EQ(GetDlgCtrlID(child), id);
        child = GetWindow(child, GW_HWNDNEXT);
    }

    E2E_CHECK_EQ(IconLikePixels(app.Main()), 0);
    Screenshot(L"start");

    app.WaitForBoxSaying(kCheckFailed, 12000).Press(IDOK);
    app.WaitReady(2000);
}

// Cross-process menu handles do not work under Wine, so the bar is walked with the keyboard as a
// user would: Alt selects the first menu; two steps right reach the system menu only if the bar
// holds exactly two menus; a third step comes back to the first, Enter opens it and Enter
// chooses its first item.
E2E_TEST(menu_bar_holds_two_menus) {
    App app;
    EnterMenuBar(app);
    MenuKeys(app, {VK_RIGHT, VK_RIGHT, VK_DOWN}, true);
    Screenshot(L"system-menu");
    MenuKeys(app, {VK_ESCAPE}, false);
    E2E_CHECK(InMenuMode(app.Main()));
    MenuKeys(app, {VK_RIGHT, VK_DOWN}, true);
    Screenshot(L"about-menu");
    PostMessageW(app.Main(), WM_KEYDOWN, VK_RETURN, 0);
    app.WaitForBoxSaying(kUsage).Press(IDOK);

    // The about menu: its third entry (past the separator) is the exit item.
    EnterMenuBar(app);
    MenuKeys(app, {VK_DOWN}, true);
    PostMessageW(app.Main(), WM_KEYDOWN, VK_UP, 0);
    PostMessageW(app.Main(), WM_KEYDOWN, VK_RETURN, 0);
    app.WaitForBoxSaying(kCloseQuestion).Press(IDNO);
    E2E_CHECK(app.Running());
}

E2E_TEST(status_bar_panels) {
    App app({.waitReady = false});
    E2E_CHECK_EQ(app.StatusText(1), kBoxTitle);
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), kChecking);
    // The clock panel shows the user's short time, this minute or the one just past.
    wchar_t format[80] = {};
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTTIME, format, 80);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t expected[64] = {};
    GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, format, expected, 64);
    const std::wstring clock = app.StatusText(3);
    E2E_CHECK(!clock.empty());
    E2E_CHECK(clock.find(L':') != std::wstring::npos);
    E2E_CHECK(clock.size() <= std::wstring(expected).size() + 1);

    const LRESULT count = SendMessageW(app.Control(kS1), SB_GETPARTS, 4, 0);
    E2E_CHECK_EQ(count, 3);
}

E2E_TEST(close_question_no_keeps_yes_ends) {
    App app;
    app.Close();
    Box box = app.WaitForBoxSaying(kCloseQuestion);
    E2E_CHECK_EQ(box.Title(), kBoxTitle);
    E2E_CHECK(box.HasButton(IDYES) && box.HasButton(IDNO));
    Screenshot(L"question");
    box.Press(IDNO);
    E2E_CHECK(PostedMessagesHandled(app));
    E2E_CHECK(app.Running());
    E2E_CHECK(IsWindowVisible(app.Main()));

    // A close request from another program asks the same.
    PostMessageW(app.Main(), WM_CLOSE, 0, 0);
    app.WaitForBoxSaying(kCloseQuestion).Press(IDYES);
    E2E_CHECK(app.WaitForExit(5000));
}

E2E_TEST(exit_menu_asks_the_same_question) {
    App app;
    app.Menu(kMenuTuichu);
    app.WaitForBoxSaying(kCloseQuestion).Press(IDNO);
    E2E_CHECK(PostedMessagesHandled(app));
    E2E_CHECK(app.Running());
    app.Menu(kMenuTuichu);
    app.WaitForBox().Press(IDYES);
    E2E_CHECK(app.WaitForExit(5000));
}

E2E_TEST(usage_box_shows_the_whole_label) {
    App app;
    app.Menu(kMenuUse);
    Box box = app.WaitForBoxSaying(kUsage);
    E2E_CHECK_EQ(box.Title(), kBoxTitle);
    E2E_CHECK(box.HasButton(IDOK) || box.HasButton(IDCANCEL));
    E2E_CHECK(!box.HasButton(IDYES) && !box.HasButton(IDNO));
    Screenshot(L"usage");
    box.Press(box.HasButton(IDOK) ? IDOK : IDCANCEL);
    E2E_CHECK(app.Running());
}

E2E_TEST(log_popup_opens_on_right_button_only) {
    App app;
    HWND list = app.Control(kList1);
    const LPARAM at = MAKELPARAM(20, 20);

    // Left and middle buttons select as usual and show no menu.
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    PostMessageW(list, WM_MBUTTONDOWN, MK_MBUTTON, at);
    PostMessageW(list, WM_MBUTTONUP, 0, at);
    E2E_CHECK(PostedMessagesHandled(app));
    E2E_CHECK(app.PopupMenu() == nullptr);

    // The right button opens it on the way down, before any release.
    PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, at);
    HWND popup = nullptr;
    E2E_CHECK(WaitUntil([&] { return (popup = app.PopupMenu()) != nullptr; }, 3000));
    Screenshot(L"popup");

    // Its one item clears the (empty) log and says so.
    PressKeys(popup, {VK_DOWN, VK_RETURN});
    E2E_CHECK(WaitUntil([&] { return app.StatusText(kMessagePanel) == kLogCleared; }, 3000));
    E2E_CHECK_EQ(app.LogLines().size(), 0u);
    E2E_CHECK(app.PopupMenu() == nullptr);

    // The mouse's context-menu message that follows the release shows no second menu; the
    // keyboard's (Shift+F10, the menu key) shows it.
    PostMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(400, 400));
    E2E_CHECK(PostedMessagesHandled(app));
    E2E_CHECK(app.PopupMenu() == nullptr);
    PostMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
    E2E_CHECK(WaitUntil([&] { return (popup = app.PopupMenu()) != nullptr; }, 3000));
    PressKeys(popup, {VK_ESCAPE});
    E2E_CHECK(WaitUntil([&] { return app.PopupMenu() == nullptr; }, 3000));
}

// The website items start the shell from the Windows folder with the address, minimized; copies
// named explorer.exe beside the program and in its current directory never run.
E2E_TEST(website_items_start_the_shell_with_their_address) {
    App app({.recorders = true, .beside = kPlanted, .currentDirectory = PlantedDirectory()});
    app.Menu(kMenuVarnow);
    E2E_CHECK(WaitUntil([&] { return RecorderLog(app.Directory()).size() >= 1; }, 10000));
    app.Menu(kMenuOstride);
    E2E_CHECK(WaitUntil([&] { return RecorderLog(app.Directory()).size() >= 2; }, 10000));
    const std::vector<Recorded> started = RecorderLog(app.Directory());  // show 2: minimized
    E2E_CHECK_EQ(started[0].Summary(),
                 L"%windir%\\explorer.exe show=2 args=http://www.varnel.example/");
    E2E_CHECK_EQ(started[1].Summary(),
                 L"%windir%\\explorer.exe show=2 args=https://www.ostrid.example");
    E2E_CHECK(app.Running());
    E2E_CHECK(!app.BoxOpen());
}

namespace {

// Sets the desktop's DPI for programs started from now on, and puts the old value back.
class DesktopDpi {
public:
    explicit DesktopDpi(DWORD dpi) {
        DWORD size = sizeof(old_);
        hadOld_ = RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels",
                               RRF_RT_REG_DWORD, nullptr, &old_, &size) == ERROR_SUCCESS;
        Set(dpi);
    }
    ~DesktopDpi() {
        if (hadOld_) {
            Set(old_);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
        }
    }

private:
    static void Set(DWORD dpi) {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi,
                        sizeof(dpi));
    }
    DWORD old_ = 96;
    bool hadOld_ = false;
};

}  // namespace

// At 144 DPI every size grows by half: the layout is in twips, not pixels.
E2E_TEST(layout_scales_with_the_dpi) {
    DesktopDpi dpi(144);
    App app;
    E2E_CHECK_EQ(ClientSize(app).cx, 896L);
    E2E_CHECK_EQ(ClientSize(app).cy, 843L);
    const RECT button = ControlRect(app, kCommand4);
    E2E_CHECK_EQ(button.left, 564L);
    E2E_CHECK_EQ(button.right, 866L);  // (5640 + 3015) twips, edges rounded
    // The font follows: a line of the log list is taller than at 96 DPI (about 13-16 pixels).
    const LRESULT itemHeight = SendMessageW(app.Control(kList1), LB_GETITEMHEIGHT, 0, 0);
    E2E_CHECK(itemHeight >= 20);
    Screenshot(L"144dpi");
}

// Wine delivers BM_CLICK even to a disabled button; the program must not act on it.
// Other programs' messages neither start a disabled button's work, whatever control handle they
// name, nor crash the window: a WM_DPICHANGED without its rectangle is ignored.
E2E_TEST(click_on_a_disabled_button_does_nothing) {
    App app({.waitReady = false});
    Box failed = app.WaitForBox(12000);  // the service is down: the buttons stay disabled
    for (int id : {kCommand1, kCommand2, kCommand3, kCommand5}) {
        E2E_CHECK(!app.Enabled(id));
        PostMessageW(app.Control(id), BM_CLICK, 0, 0);
    }
    for (HWND named : {HWND{}, GetDesktopWindow()}) {
        PostMessageW(app.Main(), WM_COMMAND, MAKEWPARAM(kCommand4, BN_CLICKED),
                     reinterpret_cast<LPARAM>(named));
    }
    PostMessageW(app.Main(), WM_DPICHANGED, MAKEWPARAM(144, 144), 0);
    E2E_CHECK(PostedMessagesHandled(app));
    E2E_CHECK(app.Running());
    E2E_CHECK_EQ(app.LogLines().size(), 0u);
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), kChecking);
    E2E_CHECK_EQ(app.ControlText(kCommand3), L"清除Explorer");
    failed.Press(IDOK);
    E2E_CHECK(!WaitUntil([&] { return app.BoxOpen(); }, 500));  // no repair question behind it
    app.WaitReady(3000);
}

// Closing while one of the program's own boxes is open, by any route: after Yes the program ends
// at once; the box that went with the window is no failure to report.
E2E_TEST(closing_with_a_box_open_ends_the_program) {
    struct Case {
        const char* what;
        int opens;  // 0: the start-up check's failure box; else the menu item or button
        std::function<void(const App&)> close;
    };
    // The window under a modal box is disabled, so the user's own close box and Alt+F4 reach the
    // box, not the window; other programs and the end of the session reach the window.
    const auto fromOutside = [](const App& app) { PostMessageW(app.Main(), WM_CLOSE, 0, 0); };
    const auto logOff = [](const App& app) {
        std::thread([main = app.Main()] {
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000,
                                &answer);
            if (answer != 0)
                SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000,
                                    nullptr);
        }).detach();
    };
    const std::vector<Case> cases{
        {"failure box, WM_CLOSE from outside", 0, fromOutside},
        {"usage box, log-off", kMenuUse, logOff},
        {"repair question, WM_CLOSE from outside", kCommand4, fromOutside},
    };
    for (const Case& c : cases) {
        std::printf("%s\n", c.what);
        App app({.waitReady = false});
        Box failed = app.WaitForBoxSaying(kCheckFailed, 12000);
        if (c.opens != 0) {
            failed.Press(IDOK);
            app.WaitReady(3000);
            app.Menu(c.opens);
            app.WaitForBox();
        }
        c.close(app);
        app.WaitForBoxSaying(kCloseQuestion).Press(IDYES);
        E2E_CHECK_EQ(app.BoxesUntilExit(3000), Lines{});
        E2E_CHECK(!app.Running());
    }
}

// Logging off asks the same question; No vetoes the end of the session.
E2E_TEST(end_of_session_asks_before_closing) {
    App app;
    DWORD_PTR answer = 1;
    std::jthread ask([&] {
        SendMessageTimeoutW(app.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                            20000, &answer);
    });
    app.WaitForBoxSaying(kCloseQuestion).Press(IDNO);
    ask.join();
    E2E_CHECK_EQ(answer, 0u);
    E2E_CHECK(app.Running());
}

namespace {

HWND FocusOf(const App& app) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(app.Main(), nullptr), &info);
    return info.hwndFocus;
}

// Tab or Shift+Tab as typed: focus moves are the dialog manager's, not a message to one window.
void PressTab(bool shift) {
    std::vector<INPUT> keys;
    auto key = [&](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        keys.push_back(input);
    };
    if (shift)
        key(VK_SHIFT, false);
    key(VK_TAB, false);
    key(VK_TAB, true);
    if (shift)
        key(VK_SHIFT, true);
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

// Tabs once and waits for the focus to reach the control.
bool TabReaches(const App& app, bool shift, int id) {
    PressTab(shift);
    const HWND expected = app.Control(id);
    return WaitUntil([&] { return FocusOf(app) == expected; }, 2000);
}

}  // namespace

// Tab walks the controls that take focus in tab-index order and Shift+Tab walks back.
E2E_TEST(tab_and_shift_tab_follow_the_tab_order) {
    App app;
    SetForegroundWindow(app.Main());
    E2E_CHECK(WaitUntil([&] { return GetForegroundWindow() == app.Main(); }, 3000));
    // Start from a known place: Tab until Command1 has the focus.
    E2E_CHECK(WaitUntil(
        [&] {
            if (FocusOf(app) == app.Control(kCommand1))
                return true;
            PressTab(false);
            return false;
        },
        5000, 200));
    for (int id : {kCommand2, kCommand3, kList1, kCommand5, kCommand4, kCommand1})
        E2E_CHECK(TabReaches(app, false, id));
    for (int id : {kCommand4, kCommand5, kList1, kCommand3})
        E2E_CHECK(TabReaches(app, true, id));
}

}  // namespace e2e

namespace e2e {
namespace {

int PixelsOfColour(const RECT& area, COLORREF colour) {
    const std::vector<COLORREF> pixels = ScreenPixels(area);
    return static_cast<int>(std::count(pixels.begin(), pixels.end(), colour));
}

RECT ClientOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

}  // namespace

// A skin file beside the program colours the window and the log; a broken one leaves the native
// look and no error.
E2E_TEST(skin_file_colours_the_window) {
    {
        App app({.skin = "; test skin\nwindow = #804020\nlist = #203040\n"});
        Screenshot(L"skinned");
        E2E_CHECK(PixelsOfColour(ClientOnScreen(app.Main()), RGB(0x80, 0x40, 0x20)) > 10000);
        E2E_CHECK(PixelsOfColour(ClientOnScreen(app.Control(kList1)), RGB(0x20, 0x30, 0x40)) >
                  10000);
    }
    App app({.skin = std::string("window = #804020\n\0\x01garbage", 26)});
    E2E_CHECK_EQ(PixelsOfColour(ClientOnScreen(app.Main()), RGB(0x80, 0x40, 0x20)), 0);
    E2E_CHECK(!app.BoxOpen());
}

// The program file carries its icon at 48, 32 and 16 pixels, each in 16 colours, 256 colours and
// 32-bit colour, and a version of 3.0.0.
E2E_TEST(program_file_has_its_icon_images_and_version) {
    const std::wstring program = BuildDirectory() + L"\\varnel-unplug.exe";
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    E2E_CHECK(module != nullptr);
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
    E2E_CHECK(group != nullptr);
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct GroupHeader {
        WORD reserved, type, count;
    };
#pragma pack(pop)
    const auto* header = static_cast<const GroupHeader*>(LockResource(LoadResource(module, group)));
    E2E_CHECK(header != nullptr);
    E2E_CHECK_EQ(header->count, 9);
    std::vector<std::pair<int, int>> images;
    const auto* entries = reinterpret_cast<const GroupEntry*>(header + 1);
    for (WORD i = 0; i < header->count; ++i)
        images.emplace_back(entries[i].width, entries[i].bitCount);
    std::sort(images.begin(), images.end());
    const std::vector<std::pair<int, int>> expected = {
        {16, 4}, {16, 8}, {16, 32}, {32, 4}, {32, 8}, {32, 32}, {48, 4}, {48, 8}, {48, 32}};
    E2E_CHECK(images == expected);
    FreeLibrary(module);

    DWORD ignored = 0;
    std::vector<BYTE> version(GetFileVersionInfoSizeW(program.c_str(), &ignored));
    E2E_CHECK(!version.empty() &&
              GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(version.size()),
                                  version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    E2E_CHECK(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    E2E_CHECK_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(0, 3)));
    E2E_CHECK_EQ(fixed->dwFileVersionLS, 0ul);
}

}  // namespace e2e

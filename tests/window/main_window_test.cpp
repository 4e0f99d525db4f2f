// The real main window inside the test process, on fake system services: what each control and
// menu item starts, what stays off, the close question on every route, the log's menu, the DPI,
// the tab order, the skin, and a failure shown and survived.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "build_config.h"
#include "fakes/fake_repair.h"
#include "fakes/fake_update_services.h"
#include "fakes/fake_window.h"
#include "platform/skin_file.h"
#include "platform/win32/event_pump_win32.h"
#include "platform/win32/message_loop.h"
#include "wine_support.h"

namespace varnel::win32 {
namespace {

using namespace varnel::testing;
using Started = FakeProgramStarter::Started;

// One start of the program: the window on fakes, created and shown.
struct Form {
    explicit Form(bool systemBoxes = false) : systemBoxes(systemBoxes) {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        pump.onDispatch = [this](int) { return realPump.DispatchPending(); };
        processes.running = {{11, u"rundll32.exe"}, {22, u"explorer.exe"}};
        transport.answer = {
            200, u"{\"result\":1,\"info\":{\"version\":\"3.0.0\",\"sid\":\"1\",\"must\":\"0\"}}"};
        EXPECT_TRUE(form.Create(GetModuleHandleW(nullptr)));
        window = form.Handle();
    }
    ~Form() {
        if (IsWindow(window))
            DestroyWindow(window);
        Drain();
    }

    // Handles what is queued, the quit request of a closed window included; gives the longest
    // time one message took.
    static ULONGLONG Drain() {
        ULONGLONG longest = 0;
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
            const ULONGLONG start = GetTickCount64();
            DispatchMessageW(&message);
            longest = std::max(longest, GetTickCount64() - start);
        }
        return longest;
    }
    HWND Item(int id) const { return GetDlgItem(window, id); }
    void Tick() const { SendMessageW(window, WM_TIMER, 1, 0); }  // Timer1: the version check
    // Ticks, and handles the window's messages until the check is over; gives the longest time
    // one message took.
    ULONGLONG Check() {
        Tick();
        ULONGLONG longest = 0;
        EXPECT_TRUE(wine_support::WaitUntil(
            [&] {
                longest = std::max(longest, Drain());
                return EnabledButtons() == 5 || !boxes.shown.empty() || !IsWindow(window);
            },
            30000, 5));
        return longest;
    }
    void Click(int id) const { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    std::wstring Status(int panel = 2) const {
        wchar_t text[512] = {};
        SendMessageW(Item(kS1), SB_GETTEXTW, WPARAM(panel - 1), LPARAM(text));
        return text;
    }
    LRESULT LogLines() const { return SendMessageW(Item(kList1), LB_GETCOUNT, 0, 0); }
    int EnabledButtons() const {
        return int(std::count_if(kButtons, std::end(kButtons),
                                 [&](int id) { return IsWindowEnabled(Item(id)); }));
    }
    const FakeMessageBoxes::Shown& LastBox() const { return boxes.shown.back(); }
    static constexpr int kButtons[] = {kCommand1, kCommand2, kCommand3, kCommand4, kCommand5};

    FakeProcessTable processes;
    FakeClipboard clipboard;
    FakeProgramStarter starter;
    FakeClock clock;
    FakeEventPump pump{clock};  // pauses pass at once on the fake clock
    Win32EventPump realPump;    // the window's messages are dispatched for real
    FakeTransport transport;
    TableCodePage codePage{{}};
    HWND window = nullptr;
    FakeMessageBoxes boxes;
    OwnedMessageBoxes owned{window};  // the system's own, owned by the window
    bool systemBoxes;
    FakeTimeOfDay timeOfDay;
    FakeProcessExit exit;  // no test takes an ending path
    Services services{
        processes, clipboard, starter,  clock,
        pump,      transport, codePage, systemBoxes ? static_cast<MessageBoxes&>(owned) : boxes,
        timeOfDay, exit};
    MainWindow form{services};
};

TEST(MainWindow, StartsCheckingWithTheButtonsOffAndTheCheckTurnsThemOnInTheirTabOrder) {
    Form f;
    EXPECT_EQ(f.EnabledButtons(), 0);
    EXPECT_EQ(f.Status(1), L"提示");
    EXPECT_EQ(f.Status(), L"正在检测是否有最新版本..");
    EXPECT_NE(f.Status(3).find(L':'), std::wstring::npos);  // the clock
    {
        const wine_support::SwappedImport noTime("GetTimeFormatEx", &wine_support::Refused);
        SendMessageW(f.window, WM_TIMER, 2, 0);  // the clock's timer
        EXPECT_EQ(f.Status(3), L"") << "a clock the system cannot give stays blank";
    }
    EXPECT_TRUE(KillTimer(f.window, 2)) << "the clock's timer runs";
    EXPECT_EQ(GetMenuItemCount(GetMenu(f.window)), 3) << "the log's menu is not in the bar";
    // No icon in the caption: the window has none, and its modal frame keeps the default away.
    EXPECT_EQ(SendMessageW(f.window, WM_GETICON, ICON_SMALL2, 0), 0);
    EXPECT_TRUE(GetWindowLongW(f.window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    // Buttons that are off start nothing, whatever the message names.
    for (int id : Form::kButtons) {
        f.Click(id);  // Wine delivers a click even to a disabled button
        for (HWND named : {HWND{}, GetDesktopWindow(), f.Item(id)})
            SendMessageW(f.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(named));
    }
    EXPECT_TRUE(f.boxes.shown.empty() && f.clipboard.emptied == 0 &&
                f.processes.terminated.empty() && f.starter.started.empty());

    f.Check();
    f.Tick();
    ASSERT_EQ(f.transport.requests.size(), 1u);
    EXPECT_EQ(f.transport.requests[0].url,
              std::u16string(VARNEL_VERSION_SERVICE) + u"/index.php/Index/soft_version");
    EXPECT_EQ(f.Status(), L"当前软件为最新版本,欢迎使用Varnel软件..");
    EXPECT_EQ(f.EnabledButtons(), 5);
    EXPECT_FALSE(KillTimer(f.window, 1)) << "Timer1 was not stopped after the check";

    // The tab key visits the controls in their order.
    f.realPump.SetDialogWindow(f.window);  // as the program's message loop does
    SetFocus(f.Item(kCommand1));
    std::vector<int> order;
    for (int step = 0; step < 6; ++step) {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        f.pump.DispatchPending();
        order.push_back(GetDlgCtrlID(GetFocus()));
    }
    EXPECT_EQ(order,
              (std::vector<int>{kCommand2, kCommand3, kList1, kCommand5, kCommand4, kCommand1}));

    // A window the system refuses is reported, and the program ends instead of running without.
    const wine_support::SwappedImport noWindow("CreateWindowExW", &wine_support::Refused);
    EXPECT_FALSE(MainWindow(f.services).Create(GetModuleHandleW(nullptr)));
}

// Each button and menu item clicked on a checked window, and what reached the system services.
TEST(MainWindow, EachButtonAndMenuItemStartsItsOwnAction) {
    const std::u16string dialog = u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll";
    const Started shell{u"explorer.exe", kShowMinimized}, control{dialog, kShowNormal};
    const std::u16string usage = std::u16string(kUsageText) + VARNEL_BRAND_SITE,
                         confirm = u"是否确定进行一键强力修复?";
    const Started site{u"explorer.exe " + std::u16string(VARNEL_BRAND_SITE), kShowMinimized},
        partner{u"explorer.exe " + std::u16string(VARNEL_PARTNER_SITE), kShowMinimized};
    const struct {
        std::vector<int> clicks, posted;  // posted: handled during the clicks' first pause
        int emptied;
        std::vector<uint32_t> terminated;
        std::vector<Started> started;
        std::vector<std::u16string> boxes;
        LRESULT logLines;
    } rows[] = {
        {{kCommand1}, {}, 1, {}, {}, {}, 1},
        {{kCommand2}, {}, 0, {11}, {}, {}, 1},
        {{kCommand3, kCommand3}, {}, 0, {22}, {shell}, {}, 2},
        {{kCommand4}, {}, 1, {11, 22}, {shell, control}, {confirm}, 7},
        // A single action runs between the sequence's lines, and the sequence writes on from the
        // first position of a cleared log.
        {{kCommand4}, {kCommand2, kMenuQk}, 1, {11, 11, 22}, {shell, control}, {confirm}, 6},
        {{kCommand4}, {kCommand4}, 1, {11, 22}, {shell, control}, {confirm}, 7},  // it is off
        {{kCommand5}, {}, 0, {}, {control}, {}, 0},
        {{kMenuUse}, {}, 0, {}, {}, {usage}, 0},
        {{kMenuVarnow}, {}, 0, {}, {site}, {}, 0},
        {{kMenuOstride}, {}, 0, {}, {partner}, {}, 0},
        {{kCommand1, kMenuQk}, {}, 1, {}, {}, {}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.clicks.back());
        Form f;
        f.Check();
        f.boxes.replies = {kAnswerYes};
        for (const int id : row.posted)
            PostMessageW(f.window, WM_COMMAND, id, LPARAM(id < kMenuAbout ? f.Item(id) : nullptr));
        for (const int id : row.clicks)
            id < kMenuAbout ? f.Click(id) : void(SendMessageW(f.window, WM_COMMAND, id, 0));
        Form::Drain();
        EXPECT_EQ(f.clipboard.emptied, row.emptied);
        EXPECT_EQ(f.processes.terminated, row.terminated);
        EXPECT_EQ(f.starter.started, row.started);
        std::vector<std::u16string> boxes;
        for (const auto& box : f.boxes.shown)
            boxes.push_back(box.text);
        EXPECT_EQ(boxes, row.boxes);
        EXPECT_EQ(f.LogLines(), row.logLines);
        EXPECT_EQ(SendMessageW(f.Item(kList1), LB_GETCURSEL, 0, 0), row.logLines - 1)
            << "the newest line is selected";
    }
}

// A failure is shown and the window goes on; the shell Command3 stopped comes back at exit.
TEST(MainWindow, AFailureIsShownAndTheWindowGoesOnAndTheStoppedShellComesBackAtExit) {
    Form f;
    f.Check();
    f.clipboard.fails = true;
    f.Click(kCommand1);
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.LastBox().text, u"操作失败：清空剪贴板\naccess denied");
    EXPECT_EQ(f.LastBox().title, u"提示");
    EXPECT_EQ(f.LastBox().style, kStyleErrorOk);
    f.clipboard.fails = false;
    f.Click(kCommand1);
    EXPECT_EQ(f.clipboard.emptied, 1);

    f.Click(kCommand3);
    wchar_t text[64] = {};
    GetWindowTextW(f.Item(kCommand3), text, 64);
    EXPECT_STREQ(text, L"重启Explorer");
    f.processes.running.clear();
    DestroyWindow(f.window);
    f.form.OnExit();
    EXPECT_EQ(f.starter.started, (std::vector<Started>{{u"explorer.exe", kShowMinimized}}));
}

TEST(MainWindow, EveryCloseRouteAsksAndOnlyYesCloses) {
    // The window's close, Alt+F4's system command, the menu's item.
    const std::pair<UINT, WPARAM> routes[] = {
        {WM_CLOSE, 0}, {WM_SYSCOMMAND, SC_CLOSE}, {WM_COMMAND, kMenuTuichu}};
    for (const auto& [message, wParam] : routes) {
        Form f;
        f.boxes.replies = {kAnswerNo, kAnswerYes};
        for (const bool closes : {false, true}) {
            SendMessageW(f.window, message, wParam, 0);
            Form::Drain();
            EXPECT_NE(IsWindow(f.window), closes) << message;
            ASSERT_EQ(f.boxes.shown.size(), closes ? 2u : 1u);
            EXPECT_EQ(f.LastBox().text, u"是否确定退出软件?");
            EXPECT_EQ(f.LastBox().style, kStyleInfoYesNo);
        }
    }
    // The end of the session asks too, and its answer is the window's vote.
    Form f;
    f.boxes.replies = {kAnswerNo, kAnswerYes};
    EXPECT_EQ(SendMessageW(f.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
    EXPECT_EQ(SendMessageW(f.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    SendMessageW(f.window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
    EXPECT_TRUE(IsWindow(f.window)) << "the session goes on";
    SendMessageW(f.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_FALSE(IsWindow(f.window));
}

// A point on the screen, or none.
using At = std::optional<std::pair<LONG, LONG>>;

// Runs `open`; if the log's popup menu appears meanwhile, its one item is chosen by keys. Gives
// the menu's top-left corner, or none when no menu appeared.
At PopupAt(const std::function<void()>& open) {
    static At at;
    at.reset();
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        const HWND menu = FindWindowW(L"#32768", nullptr);
        RECT frame{};
        if (menu == nullptr || !IsWindowVisible(menu) || !GetWindowRect(menu, &frame))
            return;
        at = std::pair(frame.left, frame.top);
        KillTimer(nullptr, id);
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
    open();
    KillTimer(nullptr, timer);
    Form::Drain();
    return at;
}

TEST(MainWindow, TheLogsMenuOpensOnTheRightButtonOrTheKeyboardAndTheWindowFollowsTheDpi) {
    Form f;
    f.Check();
    // The message, its lParam, where the menu opens: at the mouse pointer for the right button,
    // a little inside the log's top-left corner for the keyboard. WM_CONTEXTMENU at (0, 0) is the
    // mouse's own, after the button's going down has shown the menu; at -1 it is Shift+F10 or the
    // menu key.
    SetCursorPos(100, 120);
    POINT corner{8, 8};
    ClientToScreen(f.Item(kList1), &corner);
    const std::tuple<UINT, LPARAM, At> rows[] = {
        {WM_LBUTTONDOWN, 0, {}},
        {WM_MBUTTONDOWN, 0, {}},
        {WM_CONTEXTMENU, 0, {}},
        {WM_RBUTTONDOWN, 0, std::pair(100L, 120L)},
        {WM_CONTEXTMENU, -1, std::pair(corner.x, corner.y)}};
    for (const auto& [message, lParam, at] : rows) {
        f.Click(kCommand1);
        EXPECT_EQ(PopupAt([&] { SendMessageW(f.Item(kList1), message, 0, lParam); }), at)
            << message;
        EXPECT_EQ(f.LogLines() == 0, at.has_value());
    }

    // A DPI change lays the window out again from the new DPI alone, its top-left corner kept.
    // Any program may post the message, so its rectangle is never read, and a DPI that no
    // monitor has changes nothing.
    auto width = [&](HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        return r.right - r.left;
    };
    auto fontHeight = [&] {
        LOGFONTW font{};
        GetObjectW(HFONT(SendMessageW(f.Item(kCommand1), WM_GETFONT, 0, 0)), sizeof font, &font);
        return std::abs(font.lfHeight);
    };
    const int before = width(f.Item(kCommand1));
    const int fontBefore = fontHeight();
    EXPECT_GT(fontBefore, 0) << "the controls carry the system's message font";
    RECT frame{}, now{}, client{};
    GetWindowRect(f.window, &frame);
    for (const WPARAM dpi : {0, 95, 961, 0xFFFF})
        PostMessageW(f.window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 1);
    Form::Drain();
    GetWindowRect(f.window, &now);
    EXPECT_TRUE(EqualRect(&now, &frame));
    PostMessageW(f.window, WM_DPICHANGED, MAKEWPARAM(144, 144), 1);  // 192 outgrows the screen
    Form::Drain();
    GetWindowRect(f.window, &now);
    GetClientRect(f.window, &client);
    EXPECT_EQ(std::pair(now.left, now.top), std::pair(frame.left, frame.top));
    EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, 144));
    EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, 144));
    EXPECT_NEAR(width(f.Item(kCommand1)), 3 * before / 2, 2);
    EXPECT_NEAR(fontHeight(), 3 * fontBefore / 2, 2);
    int edges[3] = {};
    SendMessageW(f.Item(kS1), SB_GETPARTS, 3, LPARAM(edges));
    EXPECT_EQ(edges[0], TwipsToPixels(kStatusPanelTwips, 144)) << "the panels follow the DPI";

    // Another program may resize the window: the status bar keeps to the bottom edge.
    SetWindowPos(f.window, nullptr, 0, 0, width(f.window) / 2, 300, SWP_NOMOVE | SWP_NOZORDER);
    RECT bar{};
    GetClientRect(f.window, &client);
    GetWindowRect(f.Item(kS1), &bar);
    MapWindowPoints(nullptr, f.window, reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.right - bar.left, client.right);
    EXPECT_EQ(bar.bottom, client.bottom);
}

// The colours the window gives a control to paint with: its background brush's and its text's.
std::pair<COLORREF, COLORREF> ColoursOf(const Form& f, UINT message, int id) {
    const HDC dc = GetDC(nullptr);
    LOGBRUSH logical{};
    GetObjectW(HBRUSH(SendMessageW(f.window, message, WPARAM(dc), LPARAM(f.Item(id)))),
               sizeof logical, &logical);
    const COLORREF text = GetTextColor(dc);
    ReleaseDC(nullptr, dc);
    return {logical.lbColor, text};
}

TEST(MainWindow, ASkinFileColoursTheWindowAndTheLogAndABrokenOneIsIgnored) {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::wstring path = std::wstring(program, wcsrchr(program, L'\\')) + L"\\skinh.she";
    for (const bool broken : {false, true}) {
        SCOPED_TRACE(broken ? "broken" : "valid");
        std::string skin = "window = #102030\ntext = #112233\nlist-text = #445566\nlist = " +
                           std::string(broken ? "blue" : "#405060") + "\nstatusbar = #708090\n";
        skin.resize(varnel::kMaxSkinFileBytes, ';');  // as long as a skin file may be
        std::ofstream(path.c_str(), std::ios::binary) << skin;
        Form f;
        EXPECT_EQ(ColoursOf(f, WM_CTLCOLORLISTBOX, kList1) ==
                      std::pair(RGB(0x40, 0x50, 0x60), RGB(0x44, 0x55, 0x66)),
                  !broken);
        EXPECT_EQ(ColoursOf(f, WM_CTLCOLORSTATIC, kFrame1) ==
                      std::pair(RGB(0x10, 0x20, 0x30), RGB(0x11, 0x22, 0x33)),
                  !broken);
        // The window paints its own background in the skin's window colour, or the system's.
        const HDC dc = GetDC(f.window);
        SendMessageW(f.window, WM_ERASEBKGND, WPARAM(dc), 0);
        EXPECT_EQ(GetPixel(dc, 2, 2), broken ? GetSysColor(COLOR_BTNFACE) : RGB(0x10, 0x20, 0x30));
        ReleaseDC(f.window, dc);
        // The status bar answers a new colour with the one it had.
        EXPECT_EQ(COLORREF(SendMessageW(f.Item(kS1), SB_SETBKCOLOR, 0, CLR_DEFAULT)) ==
                      RGB(0x70, 0x80, 0x90),
                  !broken);
    }
    DeleteFileW(path.c_str());
}

// A box answered OK is no failure, and neither is one that the system ends with 0 because its
// window went meanwhile (another program closed it): nothing more is shown. The system's boxes are
// owned by the window and get the title and style asked for.
std::vector<std::tuple<HWND, std::wstring, UINT>> shownBoxes;  // owner, title, style

int WINAPI OkThenGoneWithItsWindow(HWND owner, LPCWSTR, LPCWSTR title, UINT style) {
    shownBoxes.emplace_back(owner, title, style);
    if (shownBoxes.size() == 1)
        return IDOK;
    DestroyWindow(owner);
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
}

TEST(MainWindow, ABoxAnsweredOkOrGoneWithItsWindowIsNoFailure) {
    Form f(true);
    f.transport.fail = true;
    const wine_support::SwappedImport boxes("MessageBoxW", &OkThenGoneWithItsWindow);
    f.Check();                                        // the check's failure box, answered OK
    SendMessageW(f.window, WM_COMMAND, kMenuUse, 0);  // the usage box, gone with the window
    const std::tuple box{f.window, std::wstring(L"提示"), UINT(kStyleInfoOk)};
    EXPECT_EQ(shownBoxes, (std::vector{box, box}));
    EXPECT_FALSE(IsWindow(f.window));
}

// An answer of 1 MiB of "[" keeps the JSON reader busy for seconds. It is read on the exchange's
// thread: each message the window gets meanwhile is handled at once, and the check then fails.
TEST(MainWindow, AnAnswerSlowToReadLeavesTheWindowAnswering) {
    Form f;
    f.transport.answer = {200, std::u16string(1024 * 1024, u'[')};
    EXPECT_LT(f.Check(), 250u) << "the window was held up";
    EXPECT_EQ(f.LastBox().text, u"检测失败,请先使用当前版本");
}

}  // namespace
}  // namespace varnel::win32

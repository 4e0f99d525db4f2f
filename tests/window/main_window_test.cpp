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
#include <string>
#include <utility>
#include <vector>

#include "build_config.h"
#include "fakes/fake_repair.h"
#include "fakes/fake_update_services.h"
#include "fakes/fake_window.h"
#include "platform/win32/event_pump_win32.h"

namespace varnel::win32 {
namespace {

using namespace varnel::testing;

constexpr char16_t kUpToDate[] =
    u"{\"result\":1,\"info\":{\"version\":\"3.0.0\",\"sid\":\"1\",\"must\":\"0\"}}";
const std::wstring kCloseQuestion = L"是否确定退出软件?";

// Pauses pass at once on a fake clock; the window's messages are dispatched for real.
class InstantPump : public EventPump {
public:
    explicit InstantPump(FakeClock& clock) : clock_(clock) {}
    void WaitForEvents(uint32_t timeoutMs) override { clock_.now += timeoutMs; }
    bool DispatchPending() override { return real_.DispatchPending(); }

private:
    FakeClock& clock_;
    Win32EventPump real_;
};

class NoExit : public ProcessExit {
public:
    [[noreturn]] void EndNow() override { std::abort(); }  // no test takes an ending path
};

std::wstring W(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

// The system's own message boxes, owned by the window, with every text shown recorded.
class RecordingBoxes : public MessageBoxes {
public:
    int Show(const std::u16string& text, const std::u16string& title, unsigned style) override {
        texts.push_back(text);
        return real.Show(text, title, style);
    }
    HWND owner = nullptr;
    OwnedMessageBoxes real{owner};
    std::vector<std::u16string> texts;
};

// One start of the program: the window on fakes, created and shown.
struct Form {
    explicit Form(bool systemBoxes = false) : systemBoxes(systemBoxes) {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        processes.running = {{11, u"rundll32.exe"}, {22, u"explorer.exe"}};
        transport.answer = {200, kUpToDate};
        EXPECT_TRUE(form.Create(GetModuleHandleW(nullptr)));
        window = form.Handle();
        recorded.owner = window;
    }
    ~Form() {
        if (IsWindow(window))
            DestroyWindow(window);
        Drain();
    }
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Handles what is queued, the quit request of a closed window included.
    static void Drain() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }

    HWND Item(int id) const { return GetDlgItem(window, id); }
    void Tick() const { SendMessageW(window, WM_TIMER, 1, 0); }  // Timer1: the version check
    void Click(int id) const { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    void Menu(int id) const {
        SendMessageW(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
        Drain();
    }
    std::wstring Text(int id) const {
        wchar_t text[1024] = {};
        GetWindowTextW(Item(id), text, 1024);
        return text;
    }
    std::wstring Status(int panel = 2) const {
        wchar_t text[512] = {};
        SendMessageW(Item(kS1), SB_GETTEXTW, static_cast<WPARAM>(panel - 1),
                     reinterpret_cast<LPARAM>(text));
        return text;
    }
    std::vector<std::wstring> Log() const {
        std::vector<std::wstring> lines;
        const auto count = SendMessageW(Item(kList1), LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t line[512] = {};
            SendMessageW(Item(kList1), LB_GETTEXT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(line));
            lines.push_back(line);
        }
        return lines;
    }
    int EnabledButtons() const {
        int enabled = 0;
        for (int id : {kCommand1, kCommand2, kCommand3, kCommand4, kCommand5})
            enabled += IsWindowEnabled(Item(id)) ? 1 : 0;
        return enabled;
    }
    const FakeMessageBoxes::Shown& LastBox() const { return boxes.shown.back(); }

    FakeProcessTable processes;
    FakeClipboard clipboard;
    FakeProgramStarter starter;
    FakeClock clock;
    InstantPump pump{clock};
    FakeTransport transport;
    TableCodePage codePage{{}};
    FakeMessageBoxes boxes;
    RecordingBoxes recorded;
    bool systemBoxes;
    FakeTimeOfDay timeOfDay;
    NoExit exit;
    MainWindow form{{processes, clipboard, starter, clock, pump, transport, codePage,
                     systemBoxes ? static_cast<MessageBoxes&>(recorded) : boxes, timeOfDay, exit}};
    HWND window = nullptr;
};

TEST(MainWindow, StartsCheckingWithTheButtonsOffAndTheCheckEnablesThemOnce) {
    Form f;
    EXPECT_EQ(f.EnabledButtons(), 0);
    EXPECT_EQ(f.Status(1), L"提示");
    EXPECT_EQ(f.Status(), L"正在检测是否有最新版本..");
    EXPECT_NE(f.Status(3).find(L':'), std::wstring::npos);  // the clock
    EXPECT_TRUE(f.Log().empty());
    for (const int frame : {kFrame1, kFrame2})
        EXPECT_EQ(GetWindowLongW(f.Item(frame), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
    // Two menus in the bar; the log's menu is not among them.
    const HMENU bar = GetMenu(f.window);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    for (const auto& [index, caption] : {std::pair{0, L"关于软件"}, std::pair{1, L"官方网站"}}) {
        wchar_t text[64] = {};
        GetMenuStringW(bar, static_cast<UINT>(index), text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, caption);
    }

    f.Tick();
    f.Tick();
    ASSERT_EQ(f.transport.requests.size(), 1u);
    EXPECT_EQ(f.transport.requests[0].body, "sn=kesto");
    EXPECT_EQ(f.transport.requests[0].url,
              std::u16string(VARNEL_VERSION_SERVICE) + u"/index.php/Index/soft_version");
    EXPECT_EQ(f.Status(), L"当前软件为最新版本,欢迎使用Varnel软件..");
    EXPECT_EQ(f.EnabledButtons(), 5);
}

TEST(MainWindow, EachButtonAndMenuItemStartsItsOwnAction) {
    using Started = FakeProgramStarter::Started;
    const std::u16string dialog = u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll";
    struct Case {
        const char* what;
        std::function<void(Form&)> act;
        std::function<void(const Form&)> check;
    };
    const std::vector<Case> cases{
        {"Command1", [](Form& f) { f.Click(kCommand1); },
         [](const Form& f) {
             EXPECT_EQ(f.clipboard.emptied, 1);
             EXPECT_EQ(f.Status(), L"已清空剪贴板,您可尝试移除移动设备...");
             EXPECT_EQ(f.Log(), std::vector<std::wstring>{L"[ 14:03:27 ]已清空剪贴板..."});
         }},
        {"Command2", [](Form& f) { f.Click(kCommand2); },
         [](const Form& f) { EXPECT_EQ(f.processes.terminated, std::vector<uint32_t>{11}); }},
        {"Command3 twice",
         [](Form& f) {
             f.Click(kCommand3);
             EXPECT_EQ(f.Text(kCommand3), L"重启Explorer");
             f.Click(kCommand3);
         },
         [](const Form& f) {
             EXPECT_EQ(f.processes.terminated, std::vector<uint32_t>{22});
             EXPECT_EQ(f.starter.started,
                       (std::vector<Started>{{u"explorer.exe", kShowMinimized}}));
             EXPECT_EQ(f.Text(kCommand3), L"清除Explorer");
         }},
        {"Command4, Yes",
         [](Form& f) {
             f.boxes.replies = {kAnswerYes};
             f.Click(kCommand4);
         },
         [&](const Form& f) {
             EXPECT_EQ(f.LastBox().text, u"是否确定进行一键强力修复?");
             EXPECT_EQ(f.Log().size(), 7u);
             EXPECT_EQ(f.starter.started, (std::vector<Started>{{u"explorer.exe", kShowMinimized},
                                                                {dialog, kShowNormal}}));
             EXPECT_TRUE(IsWindowEnabled(f.Item(kCommand4)));
         }},
        {"Command5", [](Form& f) { f.Click(kCommand5); },
         [&](const Form& f) {
             EXPECT_EQ(f.starter.started, (std::vector<Started>{{dialog, kShowNormal}}));
             EXPECT_EQ(f.starter.programs, std::vector<SystemProgram>{SystemProgram::Rundll32});
         }},
        {"use", [](Form& f) { f.Menu(kMenuUse); },
         [](const Form& f) {
             EXPECT_EQ(W(f.LastBox().text), f.Text(kLabel1));
             EXPECT_TRUE(f.LastBox().text.ends_with(VARNEL_BRAND_SITE));
             EXPECT_EQ(f.LastBox().style, kStyleInfoOk);
         }},
        {"varnow", [](Form& f) { f.Menu(kMenuVarnow); },
         [](const Form& f) {
             EXPECT_EQ(f.starter.started,
                       (std::vector<Started>{{std::u16string(u"explorer.exe ") + VARNEL_BRAND_SITE,
                                              kShowMinimized}}));
             EXPECT_EQ(f.starter.programs, std::vector<SystemProgram>{SystemProgram::Shell});
         }},
        {"ostride", [](Form& f) { f.Menu(kMenuOstride); },
         [](const Form& f) {
             EXPECT_EQ(
                 f.starter.started,
                 (std::vector<Started>{
                     {std::u16string(u"explorer.exe ") + VARNEL_PARTNER_SITE, kShowMinimized}}));
         }},
        {"qk",
         [](Form& f) {
             f.Click(kCommand1);
             f.Menu(kMenuQk);
         },
         [](const Form& f) {
             EXPECT_TRUE(f.Log().empty());
             EXPECT_EQ(f.Status(), L"已清空日志...");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Form f;
        f.Tick();
        c.act(f);
        c.check(f);
        EXPECT_TRUE(IsWindow(f.window));
    }
}

// What the user does during a pause runs there and then: a single action between the sequence's
// lines, and a cleared log that the sequence writes on from its first position.
TEST(MainWindow, ActionsInAOneClickPauseRunInsideIt) {
    Form f;
    f.Tick();
    f.boxes.replies = {kAnswerYes};
    PostMessageW(f.Item(kCommand2), BM_CLICK, 0, 0);
    PostMessageW(f.window, WM_COMMAND, kMenuQk, 0);
    f.Click(kCommand4);
    EXPECT_EQ(f.processes.terminated, (std::vector<uint32_t>{11, 11, 22}));
    const std::vector<std::wstring> log = f.Log();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0], L"[ 14:03:27 ]已清空剪贴板...");
    EXPECT_EQ(SendMessageW(f.Item(kList1), LB_GETCURSEL, 0, 0), 5);
}

TEST(MainWindow, ButtonsThatAreOffStartNothingWhateverTheMessageNames) {
    Form f;
    for (int id : {kCommand1, kCommand2, kCommand3, kCommand4, kCommand5}) {
        f.Click(id);  // Wine delivers a click even to a disabled button
        for (HWND named : {HWND{}, GetDesktopWindow(), f.Item(id)}) {
            SendMessageW(f.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(named));
        }
    }
    EXPECT_TRUE(f.boxes.shown.empty());
    EXPECT_EQ(f.clipboard.emptied, 0);
    EXPECT_TRUE(f.processes.terminated.empty());
    EXPECT_TRUE(f.starter.started.empty());
    EXPECT_TRUE(f.Log().empty());
}

TEST(MainWindow, EveryCloseRouteAsksAndOnlyYesCloses) {
    struct Route {
        const char* what;
        std::function<LRESULT(const Form&)> close;
    };
    const std::vector<Route> routes{
        {"WM_CLOSE", [](const Form& f) { return SendMessageW(f.window, WM_CLOSE, 0, 0); }},
        {"close box, system menu, Alt+F4",
         [](const Form& f) { return SendMessageW(f.window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"tuichu",
         [](const Form& f) {
             f.Menu(kMenuTuichu);
             return LRESULT{0};
         }},
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.what);
        Form f;
        f.boxes.replies = {kAnswerNo};
        route.close(f);
        ASSERT_EQ(f.boxes.shown.size(), 1u);
        EXPECT_EQ(W(f.LastBox().text), kCloseQuestion);
        EXPECT_EQ(f.LastBox().style, kStyleInfoYesNo);
        EXPECT_TRUE(IsWindow(f.window));
        f.boxes.replies = {kAnswerYes};
        route.close(f);
        EXPECT_FALSE(IsWindow(f.window));
    }
    // The end of the session asks too, and its answer is the window's vote.
    Form f;
    f.boxes.replies = {kAnswerNo, kAnswerYes};
    EXPECT_EQ(SendMessageW(f.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
    EXPECT_EQ(SendMessageW(f.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_EQ(W(f.LastBox().text), kCloseQuestion);
    SendMessageW(f.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_FALSE(IsWindow(f.window));
}

// Runs `open`; if the log's popup menu appears meanwhile, its one item is chosen by keys.
bool PopupChosenDuring(const std::function<void()>& open) {
    static bool shown;
    shown = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        const HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu == nullptr || !IsWindowVisible(menu))
            return;
        shown = true;
        KillTimer(nullptr, id);
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
    open();
    KillTimer(nullptr, timer);
    Form::Drain();
    return shown;
}

TEST(MainWindow, TheLogsMenuOpensOnTheRightButtonOrTheKeyboardAndClearsTheLog) {
    Form f;
    f.Tick();
    const HWND list = f.Item(kList1);
    EXPECT_FALSE(PopupChosenDuring([&] { SendMessageW(list, WM_LBUTTONDOWN, 0, 0); }));
    for (const UINT message : {UINT{WM_RBUTTONDOWN}, UINT{WM_CONTEXTMENU}}) {
        f.Click(kCommand1);
        ASSERT_FALSE(f.Log().empty());
        const LPARAM at = message == WM_CONTEXTMENU ? -1 : 0;  // -1: Shift+F10, the menu key
        EXPECT_TRUE(PopupChosenDuring([&] { SendMessageW(list, message, 0, at); }));
        EXPECT_TRUE(f.Log().empty());
        EXPECT_EQ(f.Status(), L"已清空日志...");
    }
}

TEST(MainWindow, FollowsADpiChangeAndIgnoresOneWithoutItsRectangle) {
    Form f;
    auto width = [&](int id) {
        RECT r{};
        GetWindowRect(f.Item(id), &r);
        return r.right - r.left;
    };
    auto fontHeight = [&] {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(f.Item(kCommand1), WM_GETFONT, 0, 0)),
                   sizeof font, &font);
        return std::abs(font.lfHeight);
    };
    const int before = width(kCommand1);
    const int fontBefore = fontHeight();
    EXPECT_GT(fontBefore, 0) << "the controls carry the system's message font";
    SendMessageW(f.window, WM_DPICHANGED, MAKEWPARAM(96, 96), 0);
    EXPECT_EQ(width(kCommand1), before);

    RECT frame{};
    GetWindowRect(f.window, &frame);
    frame.right = frame.left + 2 * (frame.right - frame.left);
    frame.bottom = frame.top + 2 * (frame.bottom - frame.top);
    SendMessageW(f.window, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&frame));
    EXPECT_NEAR(width(kCommand1), 2 * before, 2);
    EXPECT_NEAR(fontHeight(), 2 * fontBefore, 2);
}

TEST(MainWindow, TabVisitsTheControlsInTheirOrder) {
    Form f;
    f.Tick();
    std::vector<int> order;
    HWND at = f.Item(kCommand1);
    for (int step = 0; step < 6; ++step) {
        order.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(f.window, at, FALSE);
    }
    EXPECT_EQ(order,
              (std::vector<int>{kCommand1, kCommand2, kCommand3, kList1, kCommand5, kCommand4}));
    EXPECT_EQ(at, f.Item(kCommand1));
    EXPECT_EQ(GetNextDlgTabItem(f.window, at, TRUE), f.Item(kCommand4));  // Shift+Tab goes back
}

// The skin file beside the program, for the life of the object.
struct SkinFile {
    explicit SkinFile(const std::string& text) {
        wchar_t program[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        path = program;
        path = path.substr(0, path.find_last_of(L'\\')) + L"\\skinh.she";
        std::ofstream(path.c_str(), std::ios::binary) << text;
    }
    ~SkinFile() { DeleteFileW(path.c_str()); }
    std::wstring path;
};

// The colour of the brush the window gives a control to paint its background with.
COLORREF BackgroundOf(const Form& f, UINT message, int id) {
    const HDC dc = GetDC(nullptr);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
        f.window, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(f.Item(id))));
    ReleaseDC(nullptr, dc);
    LOGBRUSH logical{};
    GetObjectW(brush, sizeof logical, &logical);
    return logical.lbColor;
}

TEST(MainWindow, ASkinFileColoursTheWindowAndTheLogAndABrokenOneIsIgnored) {
    for (const bool broken : {false, true}) {
        SCOPED_TRACE(broken ? "broken" : "valid");
        const SkinFile skin(broken ? "window = #102030\nlist = blue\nstatusbar = #708090\n"
                                   : "window = #102030\nlist = #405060\nstatusbar = #708090\n");
        Form f;
        EXPECT_EQ(BackgroundOf(f, WM_CTLCOLORLISTBOX, kList1) == RGB(0x40, 0x50, 0x60), !broken);
        EXPECT_EQ(BackgroundOf(f, WM_CTLCOLORSTATIC, kFrame1) == RGB(0x10, 0x20, 0x30), !broken);
        // The status bar answers a new colour with the one it had.
        const auto statusBar = static_cast<COLORREF>(
            SendMessageW(f.Item(kS1), SB_SETBKCOLOR, 0, static_cast<LPARAM>(CLR_DEFAULT)));
        EXPECT_EQ(statusBar == RGB(0x70, 0x80, 0x90), !broken);
    }
}

TEST(MainWindow, AFailureIsShownAndTheWindowGoesOn) {
    Form f;
    f.Tick();
    f.clipboard.fails = true;
    f.Click(kCommand1);
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.LastBox().text, u"操作失败：清空剪贴板\naccess denied");
    EXPECT_EQ(f.LastBox().title, u"提示");
    EXPECT_EQ(f.LastBox().style, kStyleErrorOk);
    EXPECT_TRUE(f.Log().empty());
    f.clipboard.fails = false;
    f.Click(kCommand1);
    EXPECT_EQ(f.clipboard.emptied, 1);
}

TEST(MainWindow, AtExitTheShellCommand3StoppedComesBack) {
    Form f;
    f.Tick();
    f.Click(kCommand3);
    f.processes.running.clear();
    DestroyWindow(f.window);
    f.form.OnExit();
    EXPECT_EQ(f.starter.started,
              (std::vector<FakeProgramStarter::Started>{{u"explorer.exe", kShowMinimized}}));
}

// While `run` runs, each message box of this thread that appears is handed to `answer` once.
void AnswerBoxes(const std::function<void(HWND box, const std::wstring& text)>& answer,
                 const std::function<void()>& run) {
    static const std::function<void(HWND, const std::wstring&)>* current;
    static std::vector<HWND> answered;
    current = &answer;
    answered.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND box, LPARAM) -> BOOL {
                wchar_t name[16] = {};
                GetClassNameW(box, name, 16);
                if (std::wstring(name) == L"#32770" && IsWindowVisible(box) &&
                    std::find(answered.begin(), answered.end(), box) == answered.end()) {
                    answered.push_back(box);
                    wchar_t text[512] = {};
                    GetDlgItemTextW(box, 0xFFFF, text, 512);
                    (*current)(box, text);
                }
                return TRUE;
            },
            0);
    });
    run();
    KillTimer(nullptr, timer);
}

void Press(HWND box, int button) {
    PostMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
}

// Closing while one of the program's own boxes is open: after Yes the window goes, and the box
// that went with it is no failure to report.
TEST(MainWindow, ClosingWithABoxOpenEndsWithoutAFailureBox) {
    {
        Form f(true);
        f.transport.fail = true;
        AnswerBoxes(
            [&](HWND box, const std::wstring& text) {
                if (text == kCloseQuestion)
                    Press(box, IDYES);
                else
                    PostMessageW(f.window, WM_CLOSE, 0, 0);  // another program closes it
            },
            [&] { f.Tick(); });
        EXPECT_EQ(f.recorded.texts, (std::vector<std::u16string>{u"检测失败,请先使用当前版本",
                                                                 u"是否确定退出软件?"}));
        EXPECT_FALSE(IsWindow(f.window));
    }
    {
        Form f(true);
        f.Tick();
        AnswerBoxes(
            [&](HWND box, const std::wstring& text) {
                if (text == kCloseQuestion) {
                    Press(box, IDYES);
                } else if (SendMessageW(f.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF)) {
                    SendMessageW(f.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
                }
            },
            [&] { f.Menu(kMenuUse); });
        ASSERT_EQ(f.recorded.texts.size(), 2u);
        EXPECT_EQ(f.recorded.texts[1], u"是否确定退出软件?");
        EXPECT_FALSE(IsWindow(f.window));
    }
}

}  // namespace
}  // namespace varnel::win32

#include "app/main_window.h"

#include <commctrl.h>

#include <string>

#include "build_config.h"
#include "platform/platform_error.h"
#include "platform/skin_file.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

namespace {

constexpr wchar_t kClassName[] = L"VarnelUnplugForm1";
constexpr UINT_PTR kListSubclass = 1;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
// The DPIs a monitor may have: 100 % to 1000 %.
constexpr unsigned kMinDpi = 96;
constexpr unsigned kMaxDpi = 960;

const wchar_t* Text(std::u16string_view text) {
    return reinterpret_cast<const wchar_t*>(text.data());
}

}  // namespace

MainWindow::MainWindow(const Services& services) : services_(services) {}

MainWindow::~MainWindow() = default;

HWND& MainWindow::Control(ControlId id) {
    return controls_[static_cast<size_t>(id - kFrame1)];
}

bool MainWindow::Create(HINSTANCE instance) {
    if (!RegisterWindowClass(instance, kClassName, WindowProc)) {
        return false;
    }
    CreateMenus();
    // Created at its final size and place for the primary monitor's DPI, so that nothing moves
    // twice before it is shown. The modal frame keeps the caption free of the default icon once
    // Form_Load has removed the window's own.
    dpi_ = GetDpiForSystem();
    const RECT frame = CentredFrame(dpi_);
    window_ = CreateWindowExW(kExStyle, kClassName, Text(kFormCaption), kStyle, frame.left,
                              frame.top, frame.right - frame.left, frame.bottom - frame.top,
                              nullptr, menuBar_, instance, this);
    if (window_ == nullptr) {
        return false;
    }
    dpi_ = GetDpiForWindow(window_);
    CreateControls();
    ApplyFont(dpi_);
    LayOutStatusBar();  // the panels must exist before their texts are set
    s1_.SetPanelText(1, std::u16string(kStatusPanel1));
    s1_.SetPanelText(2, std::u16string(kStatusChecking));
    UpdateClock();
    Run([this] { Form_Load(); });
    FitClientArea();
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    SetTimer(window_, kTimer1, kTimer1Interval, nullptr);
    SetTimer(window_, kClockTimer, 1000, nullptr);
    return true;
}

void MainWindow::CreateMenus() {
    menuBar_ = CreateMenu();
    HMENU current = nullptr;
    for (const MenuSpec& item : Menus()) {
        if (!item.parent) {
            current = CreatePopupMenu();
            if (item.inMenuBar) {
                AppendMenuW(menuBar_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(current),
                            Text(item.caption));
            } else {
                qingkong_.reset(current);
            }
        } else if (item.caption == u"-") {
            AppendMenuW(current, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(current, MF_STRING, static_cast<UINT_PTR>(item.id), Text(item.caption));
        }
    }
}

void MainWindow::CreateControls() {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
    for (const ControlSpec& control : Controls()) {
        const wchar_t* className = WC_BUTTONW;
        DWORD style = WS_CHILD;
        DWORD exStyle = 0;
        switch (control.kind) {
            case ControlKind::Button:
                style |= BS_PUSHBUTTON | WS_TABSTOP;
                break;
            case ControlKind::GroupBox:
                style |= BS_GROUPBOX;
                break;
            case ControlKind::ListBox:
                className = WC_LISTBOXW;
                style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::StatusBar:
                className = STATUSCLASSNAMEW;
                style |= CCS_BOTTOM;
                break;
            case ControlKind::Label:
                className = WC_STATICW;
                style |= SS_LEFT;
                break;
        }
        if (control.visible)
            style |= WS_VISIBLE;
        if (!control.enabled)
            style |= WS_DISABLED;
        const PixelRect r = control.kind == ControlKind::StatusBar
                                ? PixelRect{0, 0, 0, 0}  // docked: it places itself
                                : ToPixels(WindowTwips(control), dpi_);
        Control(control.id) = CreateWindowExW(
            exStyle, className, Text(control.caption), style, r.left, r.top, r.width, r.height,
            window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
    }
    // The label holds the usage text followed by the brand's website address.
    const std::u16string usage = std::u16string(kUsageText) + VARNEL_BRAND_SITE;
    SetWindowTextW(Control(kLabel1), Wide(usage));
    SetWindowSubclass(Control(kList1), ListProc, kListSubclass, reinterpret_cast<DWORD_PTR>(this));
}

void MainWindow::ApplyFont(unsigned dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    HFONT font = nullptr;
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    }
    for (HWND control : controls_) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    font_.reset(font);  // after the controls have the new one
}

void MainWindow::ApplyDpi(unsigned dpi) {
    dpi_ = dpi;
    ApplyFont(dpi);
    for (const ControlSpec& control : Controls()) {
        if (control.kind == ControlKind::StatusBar) {
            continue;  // docked: it places itself along the bottom edge
        }
        const PixelRect r = ToPixels(WindowTwips(control), dpi_);
        SetWindowPos(Control(control.id), nullptr, r.left, r.top, r.width, r.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LayOutStatusBar();
    InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::LayOutStatusBar() {
    HWND bar = Control(kS1);
    SendMessageW(bar, WM_SIZE, 0, 0);
    RECT client{};
    GetClientRect(window_, &client);
    const std::array<int, 3> edges = StatusPanelEdges(client.right - client.left, dpi_);
    SendMessageW(bar, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

RECT MainWindow::CentredFrame(unsigned dpi) const {
    RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
    AdjustWindowRectExForDpi(&frame, kStyle, TRUE, kExStyle, dpi);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    const HMONITOR on = window_ != nullptr
                            ? MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY)
                            : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    GetMonitorInfoW(on, &monitor);
    const RECT& work = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;
    return RECT{left, top, left + width, top + height};
}

void MainWindow::OnDpiChanged(unsigned dpi) {
    if (dpi < kMinDpi || dpi > kMaxDpi || dpi == dpi_) {
        return;  // not a DPI any monitor has, or no change
    }
    // The frame whose client area holds the layout at the new DPI, its top-left corner kept.
    RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
    AdjustWindowRectExForDpi(&frame, kStyle, TRUE, kExStyle, dpi);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps, or non-client parts the system draws at another DPI, make the client
    // area differ from the plan: correct the frame by the difference.
    RECT client{};
    GetClientRect(window_, &client);
    const int wider = TwipsToPixels(kClientWidthTwips, dpi) - client.right;
    const int taller = TwipsToPixels(kClientHeightTwips, dpi) - client.bottom;
    if (wider != 0 || taller != 0) {
        SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left + wider,
                     frame.bottom - frame.top + taller, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ApplyDpi(dpi);
}

void MainWindow::FitClientArea() {
    // The window may sit on a monitor of another DPI than the primary one, and a menu bar that
    // wraps makes the client area shorter than planned: correct the frame for both.
    RECT client{};
    GetClientRect(window_, &client);
    const int width = TwipsToPixels(kClientWidthTwips, dpi_);
    const int height = TwipsToPixels(kClientHeightTwips, dpi_);
    if (client.right == width && client.bottom == height) {
        LayOutStatusBar();
        return;
    }
    RECT frame = CentredFrame(dpi_);
    frame.bottom += height - client.bottom;
    frame.right += width - client.right;
    SetWindowPos(window_, nullptr, frame.left, frame.top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyDpi(dpi_);
}

void MainWindow::UpdateClock() {
    const std::u16string now = ShortTimeText();
    SendMessageW(Control(kS1), SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(Wide(now)));
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<MainWindow*>(create->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_TIMER:
            if (wParam == kTimer1) {
                Run([this] { Timer1_Timer(); });
            } else if (wParam == kClockTimer) {
                UpdateClock();
            } else if (wParam == ThreadedVersionExchange::kLimitTimer) {
                Run([this] { versionCheck_.OnTimeLimit(); });
            }
            return 0;
        case ThreadedVersionExchange::kResultMessage:
            Run([this] { OnVersionResult(); });
            return 0;
        case WM_CLOSE:
            if (Form_QueryUnload()) {
                DestroyWindow(window_);
            }
            return 0;
        case WM_QUERYENDSESSION:
            return Form_QueryUnload() ? TRUE : FALSE;
        case WM_ENDSESSION:
            if (wParam != 0) {
                DestroyWindow(window_);
            }
            return 0;
        case WM_SIZE:
            if (Control(kS1) != nullptr) {
                LayOutStatusBar();
            }
            break;
        case WM_DPICHANGED:
            // Any program may post this message with any values: the rectangle in lParam is
            // never read, the frame is worked out from the new DPI instead.
            OnDpiChanged(HIWORD(wParam));
            return 0;
        case WM_ERASEBKGND:
            if (skin_.WindowBrush() != nullptr) {
                RECT client{};
                GetClientRect(window_, &client);
                FillRect(reinterpret_cast<HDC>(wParam), &client, skin_.WindowBrush());
                return 1;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
            if (skin_.Colors() != nullptr) {
                return OnControlColor(reinterpret_cast<HDC>(wParam),
                                      reinterpret_cast<HWND>(lParam));
            }
            break;
        case WM_DESTROY:
            KillTimer(window_, kTimer1);
            KillTimer(window_, kClockTimer);
            exchange_.Abandon();  // a late result must not reach a window that is gone
            RemoveWindowSubclass(Control(kList1), ListProc, kListSubclass);
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            window_ = nullptr;
            controls_.fill(nullptr);
            break;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR self) {
    auto* form = reinterpret_cast<MainWindow*>(self);
    switch (message) {
        case WM_LBUTTONDOWN:
            form->List1_MouseDown(1);
            break;
        case WM_RBUTTONDOWN:
            form->List1_MouseDown(2);
            break;
        case WM_MBUTTONDOWN:
            form->List1_MouseDown(4);
            break;
        case WM_CONTEXTMENU:
            // Shift+F10 or the menu key: keyboard users reach the log's menu too. The mouse's
            // own context-menu message is left alone: the button's going down has shown it.
            if (lParam == -1) {
                RECT corner{};
                GetClientRect(list, &corner);
                MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&corner), 2);
                form->ShowLogMenu(POINT{corner.left + 8, corner.top + 8});
                return 0;
            }
            break;
        default:
            break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

void MainWindow::OnCommand(int id, int code, HWND control) {
    if (id >= kCommand1 && id <= kCommand5) {
        // Only clicks of our enabled buttons count. Other programs can post this message with any
        // control handle or none: a disabled button's work must not start that way either.
        if (code != BN_CLICKED || !IsWindowEnabled(Control(static_cast<ControlId>(id)))) {
            return;
        }
    } else if (control != nullptr) {
        return;  // notifications of the other controls are not commands
    }
    switch (id) {
        case kCommand1:
            Run([this] { Command1_Click(); });
            break;
        case kCommand2:
            Run([this] { Command2_Click(); });
            break;
        case kCommand3:
            Run([this] { Command3_Click(); });
            break;
        case kCommand4:
            Run([this] { Command4_Click(); });
            break;
        case kCommand5:
            Run([this] { Command5_Click(); });
            break;
        case kMenuUse:
            Run([this] { use_Click(); });
            break;
        case kMenuTuichu:
            Run([this] { tuichu_Click(); });
            break;
        case kMenuVarnow:
            Run([this] { varnow_Click(); });
            break;
        case kMenuOstride:
            Run([this] { ostride_Click(); });
            break;
        case kMenuQk:
            Run([this] { qk_Click(); });
            break;
        default:
            break;
    }
}

LRESULT MainWindow::OnControlColor(HDC dc, HWND control) {
    const SkinColors& skin = *skin_.Colors();
    SetBkMode(dc, TRANSPARENT);
    if (control == Control(kList1)) {
        if (skin.listText)
            SetTextColor(dc, ToColorRef(*skin.listText));
        if (skin_.ListBrush() != nullptr) {
            SetBkColor(dc, ToColorRef(*skin.list));
            SetBkMode(dc, OPAQUE);
            return reinterpret_cast<LRESULT>(skin_.ListBrush());
        }
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    if (skin.text)
        SetTextColor(dc, ToColorRef(*skin.text));
    return reinterpret_cast<LRESULT>(
        skin_.WindowBrush() != nullptr ? skin_.WindowBrush() : GetSysColorBrush(COLOR_BTNFACE));
}

void MainWindow::Run(const std::function<void()>& handler) {
    std::u16string text;
    try {
        handler();
        return;
    } catch (const PlatformError& failure) {
        text = FailureText(failure);
    } catch (const std::exception& failure) {
        const std::string what = failure.what();
        text = u"内部错误：" + std::u16string(what.begin(), what.end());
    }
    try {
        services_.boxes.Show(text, kBoxTitle, kStyleErrorOk);
    } catch (const PlatformError&) {
        // No box can be shown either: there is no one left to tell, and the program goes on.
    }
}

void MainWindow::OnExit() {
    Run([this] { singleActions_.RestoreShell(); });
}

}  // namespace varnel::win32

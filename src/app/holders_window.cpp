#include "app/holders_window.h"

#include <commctrl.h>

#include <algorithm>
#include <mutex>

#include "app/controls_win32.h"
#include "layout/holders_layout.h"
#include "platform/win32/message_loop.h"
#include "platform/win32/text.h"
#include "platform/window_services.h"

namespace varnel::win32 {

using namespace holders;

namespace {

constexpr wchar_t kClassName[] = L"VarnelUnplugHolders";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr UINT_PTR kKeySubclass = 1;

const wchar_t* Text(std::u16string_view text) {
    return reinterpret_cast<const wchar_t*>(text.data());
}

}  // namespace

int SystemWindowBoxes::Show(HWND owner, const std::u16string& text, unsigned style) {
    return MessageBoxW(owner, Wide(text), Text(kBoxTitle), style);
}

HoldersWindow::HoldersWindow(const HoldersServices& services, DriveLister& driveList,
                             std::function<bool(char16_t)> switchDrive)
    : services_(services),
      work_(services.work),
      driveList_(driveList),
      switchDrive_(std::move(switchDrive)),
      mailbox_(std::make_shared<Mailbox>()) {}

HoldersWindow::~HoldersWindow() {
    if (IsOpen()) {
        DestroyWindow(window_);
    }
}

bool HoldersWindow::Create(HWND owner, char16_t letter) {
    // The list and the progress bar's classes, which the main window does not need at its start.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance, kClassName, WindowProc)) {
        return false;
    }
    letter_ = letter;
    if (CreateWindowExW(0, kClassName, Wide(HoldersCaption(letter)), kStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 100, 100, owner, nullptr, instance, this) == nullptr) {
        return false;
    }
    {
        const std::lock_guard guard(mailbox_->lock);
        mailbox_->window = window_;
    }
    EnableDialogKeys(window_);
    CreateControls();
    ApplyDpi(GetDpiForWindow(window_));
    PlaceOver(owner);
    SetDrive(letter);
    ShowWindow(window_, SW_SHOW);
    return true;
}

void HoldersWindow::PlaceOver(HWND owner) {
    // Centred over the main window, inside the work area of its monitor.
    RECT frame{}, over{};
    GetWindowRect(window_, &frame);
    if (owner == nullptr || !GetWindowRect(owner, &over)) {
        return;
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int left = std::clamp<int>((over.left + over.right - width) / 2, work.left,
                                     std::max<int>(work.left, work.right - width));
    const int top = std::clamp<int>((over.top + over.bottom - height) / 2, work.top,
                                    std::max<int>(work.top, work.bottom - height));
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void HoldersWindow::BringForward() const {
    if (IsIconic(window_)) {
        ShowWindow(window_, SW_RESTORE);
    }
    SetForegroundWindow(window_);
}

void HoldersWindow::CreateControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const HoldersControl& control : HoldersControls()) {
        const wchar_t* className = WC_BUTTONW;
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD exStyle = 0;
        switch (control.kind) {
            case HoldersKind::DrivePicker:
                className = WC_COMBOBOXW;
                style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
                break;
            case HoldersKind::List:
                className = WC_LISTVIEWW;
                // The list asks for the texts of the rows it shows: any number of holders is
                // listed at once.
                style |= LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA | WS_TABSTOP;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case HoldersKind::Line:
                className = WC_STATICW;
                style |= SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
                break;
            case HoldersKind::Note:
                className = WC_STATICW;
                style = (style & ~WS_VISIBLE) | SS_LEFT | SS_NOPREFIX;  // wraps; shown when set
                break;
            case HoldersKind::Progress:
                className = PROGRESS_CLASSW;
                style = (style & ~WS_VISIBLE) | PBS_MARQUEE;
                break;
            case HoldersKind::Button:
                style |= BS_PUSHBUTTON | WS_TABSTOP;
                break;
        }
        const HWND created =
            CreateWindowExW(exStyle, className, Text(control.caption), style, 0, 0, 0, 0, window_,
                            HMENU(INT_PTR(control.id)), instance, nullptr);
        SetWindowSubclass(created, KeyProc, kKeySubclass, reinterpret_cast<DWORD_PTR>(window_));
    }
    const HWND list = Item(kHoldersList);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const char16_t* const titles[] = {u"程序", u"进程 ID", u"占用的内容", u"说明"};
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(Text(titles[i]));
        SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(i), LPARAM(&column));
    }
    ShowWindow(Item(kHoldersElevate), SW_HIDE);
    ShowWindow(Item(kHoldersForce), SW_HIDE);
}

void HoldersWindow::ApplyDpi(unsigned dpi) {
    // Everything follows from the DPI: the client area, each control, the font, the columns.
    dpi_ = dpi;
    const int width = TwipsToPixels(kHoldersClientWidthTwips, dpi);
    const int height = TwipsToPixels(kHoldersClientHeightTwips, dpi);
    RECT frame{0, 0, width, height};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, dpi);
    // The frame as planned, then corrected once by what the client area really got (a caption
    // of another height than the metrics for the DPI say).
    auto resize = [this](const RECT& r) {
        SetWindowPos(window_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    resize(frame);
    RECT client{};
    GetClientRect(window_, &client);
    if (client.right != width || client.bottom != height) {
        frame.right += width - client.right;
        frame.bottom += height - client.bottom;
        resize(frame);
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    HFONT font = nullptr;
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    }
    for (const HoldersControl& control : HoldersControls()) {
        const PixelRect r = ToPixels(control.place, dpi);
        SetWindowPos(Item(control.id), nullptr, r.left, r.top, r.width, r.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(Item(control.id), WM_SETFONT, WPARAM(font), FALSE);
    }
    font_.reset(font);  // after the controls have the new one
    PlaceList();
    for (int i = 0; i < 4; ++i) {
        SendMessageW(Item(kHoldersList), LVM_SETCOLUMNWIDTH, WPARAM(i),
                     TwipsToPixels(kHoldersColumnTwips[i], dpi));
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void HoldersWindow::PlaceList() {
    // The style's flag, not IsWindowVisible: the window itself may not be shown yet.
    const bool vetoShown = (GetWindowLongPtrW(Item(kHoldersVeto), GWL_STYLE) & WS_VISIBLE) != 0;
    const PixelRect r = ToPixels(HoldersListPlace(vetoShown), dpi_);
    SetWindowPos(Item(kHoldersList), nullptr, r.left, r.top, r.width, r.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void HoldersWindow::FillDrives() {
    const HWND picker = Item(kHoldersDrive);
    SendMessageW(picker, CB_RESETCONTENT, 0, 0);
    std::vector<DriveInfo> drives;
    try {
        drives =
            driveList_.List().value_or(std::vector<DriveInfo>{});  // none known: refilled later
    } catch (const PlatformError& failure) {
        Ask(FailureText(failure));
    }
    int selected = -1;
    for (const DriveInfo& drive : drives) {
        const LRESULT at =
            SendMessageW(picker, CB_ADDSTRING, 0, LPARAM(Wide(DriveItemText(drive))));
        SendMessageW(picker, CB_SETITEMDATA, WPARAM(at), LPARAM(drive.letter));
        if (drive.letter == letter_) {
            selected = int(at);
        }
    }
    SendMessageW(picker, CB_SETCURSEL, WPARAM(selected), 0);
}

void HoldersWindow::SetDrive(char16_t letter) {
    letter_ = letter;
    SetWindowTextW(window_, Wide(HoldersCaption(letter)));
    SetWindowTextW(Item(kHoldersEject), Wide(EjectCaption(letter)));
    ShowWindow(Item(kHoldersForce), SW_HIDE);  // offered again after a veto of this drive
    FillDrives();
    Refresh_Click();
}

void HoldersWindow::OnDriveChosen() {
    const HWND picker = Item(kHoldersDrive);
    const LRESULT at = SendMessageW(picker, CB_GETCURSEL, 0, 0);
    if (at == CB_ERR) {
        return;
    }
    const auto letter = char16_t(SendMessageW(picker, CB_GETITEMDATA, WPARAM(at), 0));
    if (letter == letter_) {
        return;
    }
    if (switchDrive_(letter)) {
        FillDrives();  // that drive's own window came forward: this one stays with its drive
    } else {
        SetDrive(letter);
    }
}

void HoldersWindow::SetLine(int id, const std::u16string& text) {
    SetWindowTextW(Item(id), Wide(text));
}

LRESULT CALLBACK HoldersWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<HoldersWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<HoldersWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self != nullptr ? self->OnMessage(message, wParam, lParam)
                           : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK HoldersWindow::KeyProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR window) {
    // F5 looks again wherever the focus is.
    if (message == WM_KEYDOWN && wParam == VK_F5) {
        PostMessageW(HWND(window), WM_COMMAND, kHoldersRefresh, 0);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(control, KeyProc, kKeySubclass);
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

LRESULT HoldersWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), HWND(lParam));
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
        case kResultMessage:
            if (wParam == mailbox_->generation) {
                OnResult();
            }
            return 0;
        case WM_DEVICECHANGE:
            FillDrives();
            return TRUE;
        case WM_DPICHANGED:
            // The size follows from the DPI alone; the message's rectangle may come from anyone.
            ApplyDpi(HIWORD(wParam));
            return 0;
        case WM_DESTROY: {
            DisableDialogKeys(window_);
            const std::lock_guard guard(mailbox_->lock);
            mailbox_->window = nullptr;  // a worker still running delivers nothing
            mailbox_->result.reset();
            break;
        }
        case WM_NCDESTROY:
            window_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void HoldersWindow::OnCommand(int id, int code, HWND control) {
    if (id == IDCANCEL) {  // Esc, through the dialog keys
        DestroyWindow(window_);
        return;
    }
    if (id == kHoldersDrive) {
        if (code == CBN_SELCHANGE) {
            OnDriveChosen();
        }
        return;
    }
    // Only enabled buttons: another program can post any command.
    if (id < kHoldersElevate || !IsWindowEnabled(Item(id)) ||
        (control != nullptr && code != BN_CLICKED)) {
        return;
    }
    try {
        switch (id) {
            case kHoldersElevate:
                Elevate_Click();
                break;
            case kHoldersRefresh:
                Refresh_Click();
                break;
            case kHoldersClose:
                Close_Click();
                break;
            case kHoldersEnd:
                End_Click();
                break;
            case kHoldersFreeAll:
                FreeAll_Click();
                break;
            case kHoldersEject:
                Eject_Click();
                break;
            case kHoldersForce:
                ForceEject_Click();
                break;
            default:
                break;
        }
    } catch (const PlatformError& failure) {
        Ask(FailureText(failure));
    }
}

}  // namespace varnel::win32

// The menu 占用查询: the drives present when it opens, each opening its holders window.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "app/holders_window.h"
#include "layout/layout.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

namespace {

constexpr UINT_PTR kMenuSubclass = 2;

bool IsHoldersItem(UINT id) {
    return id >= kMenuHoldersNone && id < kMenuHoldersDrive + 26;
}

}  // namespace

HoldersMenu::~HoldersMenu() {
    if (main_ != nullptr && IsWindow(main_)) {
        RemoveWindowSubclass(main_, MainProc, kMenuSubclass);
    }
}

void HoldersMenu::Attach(HWND mainWindow) {
    main_ = mainWindow;
    SetWindowSubclass(mainWindow, MainProc, kMenuSubclass, reinterpret_cast<DWORD_PTR>(this));
}

void HoldersMenu::Open(char16_t letter) {
    if (HoldersWindow* open = OpenWindowOf(letter)) {
        open->BringForward();
        return;
    }
    std::erase_if(windows_, [](const auto& window) { return !window->IsOpen(); });
    auto window = std::make_unique<HoldersWindow>(services_, [this](char16_t other) {
        HoldersWindow* open = OpenWindowOf(other);
        if (open != nullptr) {
            open->BringForward();
        }
        return open != nullptr;
    });
    if (window->Create(main_, letter)) {
        windows_.push_back(std::move(window));
    }
}

HoldersWindow* HoldersMenu::OpenWindowOf(char16_t letter) {
    for (const auto& window : windows_) {
        if (window->IsOpen() && window->Letter() == letter) {
            return window.get();
        }
    }
    return nullptr;
}

void HoldersMenu::FillMenu(HMENU popup) {
    while (GetMenuItemCount(popup) > 0) {
        DeleteMenu(popup, 0, MF_BYPOSITION);
    }
    std::vector<DriveInfo> drives;
    try {
        drives = services_.drives.List();
    } catch (const PlatformError&) {
        // No list of drives: the menu says there is none, as it would without drives.
    }
    for (const DriveInfo& drive : drives) {
        AppendMenuW(popup, MF_STRING, kMenuHoldersDrive + (drive.letter - u'A'),
                    Wide(holders::DriveItemText(drive)));
    }
    if (drives.empty()) {
        AppendMenuW(popup, MF_STRING | MF_GRAYED, kMenuHoldersNone,
                    reinterpret_cast<const wchar_t*>(kHoldersNoDrive.data()));
    }
}

LRESULT CALLBACK HoldersMenu::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR self) {
    auto* menu = reinterpret_cast<HoldersMenu*>(self);
    switch (message) {
        case WM_INITMENUPOPUP: {
            const HMENU popup = HMENU(wParam);
            if (GetMenuItemCount(popup) > 0 && IsHoldersItem(GetMenuItemID(popup, 0))) {
                menu->FillMenu(popup);
                return 0;
            }
            break;
        }
        case WM_COMMAND: {
            const UINT id = LOWORD(wParam);
            if (lParam == 0 && id >= kMenuHoldersDrive && id < kMenuHoldersDrive + 26) {
                menu->Open(char16_t(u'A' + (id - kMenuHoldersDrive)));
                return 0;
            }
            break;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, MainProc, kMenuSubclass);
            menu->main_ = nullptr;
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace varnel::win32

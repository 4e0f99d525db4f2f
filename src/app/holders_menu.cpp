// The menu 占用查询: the drives present when it opens, each opening its holders window, and the
// eject of them all.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <mutex>

#include "app/holder_workers.h"
#include "app/holders_window.h"
#include "holders/holder_texts.h"
#include "holders/report_text.h"
#include "layout/layout.h"
#include "platform/win32/text.h"
#include "platform/window_services.h"

namespace varnel::win32 {

namespace {

constexpr UINT_PTR kMenuSubclass = 2;
constexpr WPARAM kDevicesChanged = 0x0007;  // DBT_DEVNODES_CHANGED

bool IsHoldersItem(UINT id) {
    return id >= kMenuHoldersNone && id < kMenuHoldersDrive + 26;
}

// Each drive as the holders window's eject does it, one after another; one line each.
std::u16string EjectEachDrive(const HoldersServices& services) {
    using namespace holders;
    std::vector<PlannedEject> plan;
    try {
        plan = PlanEjectAll(WithoutSubstitutes(services.work.drives.List(), services.work.drives),
                            services.work.devices);
    } catch (const PlatformError& failure) {
        return FailureText(failure);
    }
    if (plan.empty()) {
        return ListText({});
    }
    std::u16string report;
    for (const PlannedEject& planned : plan) {
        if (planned.sameDeviceAs != 0) {
            report += SameDeviceText(planned.letter, planned.sameDeviceAs);
            continue;
        }
        try {
            report += EjectLine(planned.letter, EjectDrive(planned.letter, services.work.devices,
                                                           services.work.clock)) +
                      u"\n";
        } catch (const PlatformError& failure) {
            report += DriveText(planned.letter) + u": " + FailureText(failure) + u"\n";
        }
    }
    return report;
}

}  // namespace

HoldersMenu::~HoldersMenu() {
    driveList_.AnnounceLateAnswers(nullptr, 0);
    if (main_ != nullptr && IsWindow(main_)) {
        RemoveWindowSubclass(main_, MainProc, kMenuSubclass);
    }
}

void HoldersMenu::Attach(HWND mainWindow) {
    main_ = mainWindow;
    SetWindowSubclass(mainWindow, MainProc, kMenuSubclass, reinterpret_cast<DWORD_PTR>(this));
    driveList_.AnnounceLateAnswers(mainWindow, kLateDrivesMessage);
}

void HoldersMenu::Open(char16_t letter) {
    if (HoldersWindow* open = OpenWindowOf(letter)) {
        open->BringForward();
        return;
    }
    std::erase_if(windows_, [](const auto& window) { return !window->IsOpen(); });
    auto window = std::make_unique<HoldersWindow>(services_, driveList_, [this](char16_t other) {
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
    std::optional<std::vector<DriveInfo>> drives;
    try {
        drives = driveList_.List();
    } catch (const PlatformError&) {
        // No list of drives: the menu says there is none, as it would without drives.
        drives.emplace();
    }
    if (!drives || drives->empty()) {
        // Not "none" while none is known yet: the drives have simply not answered so far.
        AppendMenuW(popup, MF_STRING | MF_GRAYED, kMenuHoldersNone,
                    reinterpret_cast<const wchar_t*>(
                        (drives ? kHoldersNoDrive : kHoldersSeekingDrives).data()));
        return;
    }
    for (const DriveInfo& drive : *drives) {
        AppendMenuW(popup, MF_STRING, kMenuHoldersDrive + (drive.letter - u'A'),
                    Wide(holders::DriveItemText(drive)));
    }
    bool running = false;
    {
        const std::lock_guard guard(ejectAll_->lock);
        running = ejectAll_->running;
    }
    AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup, MF_STRING | (running ? MF_GRAYED : 0), kMenuHoldersEjectAll,
                L"弹出全部可移动驱动器");
}

void HoldersMenu::EjectAll() {
    {
        const std::lock_guard guard(ejectAll_->lock);
        if (ejectAll_->running) {
            return;  // one at a time
        }
        ejectAll_->running = true;
        ejectAll_->window = main_;
    }
    try {
        StartHolderWorker([mailbox = ejectAll_, services = services_] {
            std::u16string report;
            try {
                report = EjectEachDrive(services);
            } catch (const std::exception& failure) {
                report = FailureText(AsPlatformError(failure));
            }
            const std::lock_guard guard(mailbox->lock);
            mailbox->report = std::move(report);
            if (mailbox->window != nullptr) {
                PostMessageW(mailbox->window, kEjectAllMessage, 0, 0);
            }
        });
    } catch (const PlatformError& refused) {
        {
            const std::lock_guard guard(ejectAll_->lock);
            ejectAll_->report = FailureText(refused);
        }
        OnEjectAllDone();
    }
}

void HoldersMenu::OnEjectAllDone() {
    std::u16string report;
    {
        const std::lock_guard guard(ejectAll_->lock);
        report.swap(ejectAll_->report);
        ejectAll_->running = false;
    }
    services_.boxes.Show(main_, report, kStyleInfoOk);
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
            if (lParam == 0 && id == kMenuHoldersEjectAll) {
                menu->EjectAll();
                return 0;
            }
            break;
        }
        case kEjectAllMessage:
            menu->OnEjectAllDone();
            return 0;
        case kLateDrivesMessage:
            for (const auto& open : menu->windows_) {
                if (open->IsOpen()) {
                    SendMessageW(open->Handle(), WM_DEVICECHANGE, kDevicesChanged, 0);
                }
            }
            return 0;
        case WM_NCDESTROY: {
            RemoveWindowSubclass(window, MainProc, kMenuSubclass);
            menu->main_ = nullptr;
            menu->driveList_.AnnounceLateAnswers(nullptr, 0);
            const std::lock_guard guard(menu->ejectAll_->lock);
            menu->ejectAll_->window = nullptr;  // a worker still running reports to nobody
            break;
        }
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace varnel::win32

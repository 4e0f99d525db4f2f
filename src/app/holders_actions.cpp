// The holders window's work: each button's handler, the worker that does the work, and the
// result the window acts on.
#include <windows.h>

#include <commctrl.h>

#include <mutex>

#include "app/holder_workers.h"
#include "app/holders_window.h"
#include "holders/holder_texts.h"
#include "holders/report_text.h"
#include "layout/holders_layout.h"
#include "platform/win32/text.h"
#include "platform/window_services.h"

namespace varnel::win32 {

using namespace holders;

namespace {

HolderJobResult Looked(DriveView view) {
    HolderJobResult result;
    result.report = std::move(view);
    return result;
}

std::u16string SelfPath() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0 || length >= path.size()) {
        ThrowLastError(u"GetModuleFileNameW");
    }
    return FromWide(path.data(), length);
}

// The steps of a forced eject on one line, ending with how the device's eject went.
std::u16string ForceLine(char16_t letter, const EjectSteps& steps) {
    if (steps.refusal != Refusal::None) {
        return RefusalText(letter, steps.refusal);
    }
    std::u16string line;
    for (const EjectStep step : steps.steps) {
        if (step != EjectStep::EjectRequested) {
            line += (line.empty() ? u"" : u" ") + StepText(step);
        }
    }
    return steps.eject ? line + u" " + EjectLine(letter, *steps.eject) : line;
}

// Whether the drive is still there to force after this eject: vetoed, or a forced eject that
// stopped before the device went.
bool StillHeld(const HolderJobResult& result) {
    if (result.ejected) {
        return result.ejected->result == EjectResult::Vetoed;
    }
    const std::optional<EjectSteps>& forced = result.forced;
    return forced->refusal == Refusal::None &&
           (!forced->eject || forced->eject->result == EjectResult::Vetoed);
}

}  // namespace

void HoldersWindow::Start(const std::u16string& busyLine, std::function<HolderJobResult()> work,
                          bool look) {
    looking_ = look;
    unsigned generation = 0;
    {
        const std::lock_guard guard(mailbox_->lock);
        generation = ++mailbox_->generation;  // the result of any earlier work is dropped
        mailbox_->result.reset();
    }
    SetLine(kHoldersLine, busyLine);
    SetBusy(true);
    try {
        StartHolderWorker([mailbox = mailbox_, generation, work = std::move(work)] {
            HolderJobResult result;
            try {
                result = work();
            } catch (const std::exception& failure) {
                result.failure = AsPlatformError(failure);
            }
            const std::lock_guard guard(mailbox->lock);
            if (mailbox->window != nullptr && mailbox->generation == generation) {
                mailbox->result = std::move(result);
                PostMessageW(mailbox->window, kResultMessage, generation, 0);
            }
        });
    } catch (const PlatformError& refused) {
        // No thread for the work: it failed before it began, and says so as its result would.
        {
            const std::lock_guard guard(mailbox_->lock);
            mailbox_->result.emplace().failure = refused;
        }
        OnResult();
    }
}

void HoldersWindow::OnResult() {
    std::optional<HolderJobResult> taken;
    {
        const std::lock_guard guard(mailbox_->lock);
        taken.swap(mailbox_->result);
    }
    if (!taken) {
        return;
    }
    SetBusy(false);
    const HolderJobResult& result = *taken;
    if (result.failure) {
        const PlatformError& failure = *result.failure;
        if (looking_) {
            // A look the system refuses: one line, the list as it was.
            SetLine(kHoldersLine, ScanFailedLine(failure.Operation(), failure.Detail()));
        } else {
            SetLine(kHoldersLine, u"");
            Ask(FailureText(failure));
        }
        return;
    }
    if (result.report) {
        ShowHolders(*result.report);
    }
    if (result.freed) {
        SetLine(kHoldersLine, FreeLine(*result.freed));
    }
    if (result.ejected) {
        SetLine(kHoldersLine, EjectLine(letter_, *result.ejected));
    }
    if (result.forced) {
        SetLine(kHoldersLine, ForceLine(letter_, *result.forced));
    }
    if (result.ejected || result.forced) {
        ShowWindow(Item(kHoldersForce), StillHeld(result) ? SW_SHOW : SW_HIDE);
    }
    if (result.askToEndLeft && !Endable(report_.holders, services_.work.processes).empty()) {
        EndAfterAsking(report_.holders);
    }
}

void HoldersWindow::ShowHolders(const DriveView& view) {
    const HolderReport& report = view.report;
    report_ = report;
    windows_ = view.windows;
    FillList();
    SetLine(kHoldersVeto, view.lastVeto);
    ShowWindow(Item(kHoldersVeto), view.lastVeto.empty() ? SW_HIDE : SW_SHOW);
    PlaceList();
    SetLine(kHoldersLine, ViewLine(letter_, view));
    SetLine(kHoldersUninspected, UninspectedLine(report.uninspected));
    ShowWindow(Item(kHoldersElevate), report.uninspected > 0 ? SW_SHOW : SW_HIDE);
    if (report.holders.empty() && windows_.empty() && report.uninspected == 0 &&
        GetActiveWindow() == window_) {
        SetFocus(Item(kHoldersEject));  // the next step; the focus is never taken from elsewhere
    }
}

void HoldersWindow::SetBusy(bool busy) {
    const HWND progress = Item(kHoldersProgress);
    ShowWindow(progress, busy ? SW_SHOW : SW_HIDE);
    SendMessageW(progress, PBM_SETMARQUEE, busy, 0);
    // Looking again stays possible: it replaces the work under way.
    const HWND focus = GetFocus();
    for (int id : {kHoldersClose, kHoldersEnd, kHoldersFreeAll, kHoldersEject, kHoldersForce}) {
        if (busy && focus == Item(id)) {
            SetFocus(Item(kHoldersList));  // the keyboard never stays on a disabled button
        }
        EnableWindow(Item(id), !busy);
    }
}

void HoldersWindow::Ask(const std::u16string& text) {
    services_.boxes.Show(window_, text, kStyleErrorOk);
}

void HoldersWindow::EndAfterAsking(const std::vector<Holder>& chosen,
                                   const std::vector<uint64_t>& windows) {
    const std::vector<Holder> endable = Endable(chosen, services_.work.processes);
    if (endable.empty() && !windows.empty()) {
        // Only windows to close, and nothing that would end a process: nothing to ask.
        Start(u"正在关闭所选的资源管理器窗口...",
              [work = work_, letter = letter_, windows, chosen]() mutable {
                  HolderJobResult result;
                  result.freed = FreeOutcome{};
                  result.freed->windows = CloseWindows(letter, windows, work);
                  const std::vector<SpareReason> reasons = SpareReasons(chosen, work.processes);
                  for (size_t i = 0; i < chosen.size(); ++i) {
                      result.freed->left.push_back({chosen[i], reasons[i]});
                  }
                  result.report = LookAround(letter, work);
                  return result;
              });
        return;
    }
    if (endable.empty()) {
        // Nothing chosen may be ended: say why for each, nothing is asked.
        FreeOutcome spared;
        const std::vector<SpareReason> reasons = SpareReasons(chosen, services_.work.processes);
        for (size_t i = 0; i < chosen.size(); ++i) {
            spared.left.push_back({chosen[i], reasons[i]});
        }
        SetLine(kHoldersLine, FreeLine(spared));
        return;
    }
    if (services_.boxes.Show(window_, EndQuestion(endable), kStyleInfoYesNo) != kAnswerYes) {
        return;
    }
    // All chosen go to the end, which ends only those it may and says why it spared the others.
    Start(u"正在结束所选进程...", [work = work_, letter = letter_, chosen, windows]() mutable {
        HolderJobResult result;
        // A chosen Explorer window is closed through the shell; explorer.exe is not ended for it.
        WindowsClosing closing;
        if (!windows.empty()) {
            closing = CloseWindows(letter, windows, work);
        }
        result.freed = EndHolders(chosen, work);
        result.freed->windows = std::move(closing);
        result.report = LookAround(letter, work);
        return result;
    });
}

void HoldersWindow::Refresh_Click() {
    Start(
        SearchingLine(letter_),
        [work = work_, letter = letter_]() mutable { return Looked(LookAround(letter, work)); },
        true);
}

void HoldersWindow::Close_Click() {
    const Selection selected = Selected();
    std::vector<uint32_t> pids;
    for (const Holder& holder : selected.holders) {
        pids.push_back(holder.pid);
    }
    if (pids.empty() && selected.windows.empty()) {
        SetLine(kHoldersLine, u"请先在列表中选择程序。");
        return;
    }
    Start(u"正在请所选程序关闭(最多等待 5 秒)...",
          [work = work_, letter = letter_, pids, windows = selected.windows]() mutable {
              HolderJobResult result;
              // The windows first: explorer.exe then no longer holds their folders and is not
              // asked to close for them.
              WindowsClosing closing;
              if (!windows.empty()) {
                  closing = CloseWindows(letter, windows, work);
              }
              result.freed = pids.empty() ? FreeOutcome{} : CloseHolders(letter, pids, work);
              result.freed->windows = std::move(closing);
              result.report = LookAround(letter, work);
              return result;
          });
}

void HoldersWindow::End_Click() {
    const Selection selected = Selected();
    if (selected.holders.empty() && selected.windows.empty()) {
        SetLine(kHoldersLine, u"请先在列表中选择程序。");
        return;
    }
    EndAfterAsking(selected.holders, selected.windows);
}

void HoldersWindow::FreeAll_Click() {
    Start(u"正在请所有占用 " + DriveText(letter_) + u" 的程序关闭(最多等待 5 秒)...",
          [work = work_, letter = letter_]() mutable {
              HolderJobResult result;
              // Explorer's windows go first, through the shell, so that explorer.exe is neither
              // asked nor ended for a folder it only shows.
              WindowsClosing closing = CloseWindows(letter, std::nullopt, work);
              std::vector<uint32_t> pids;
              for (const Holder& holder : LookAt(letter, work).holders) {
                  pids.push_back(holder.pid);
              }
              result.freed = CloseHolders(letter, pids, work);
              result.freed->windows = std::move(closing);
              result.report = LookAround(letter, work);
              result.askToEndLeft = true;
              return result;
          });
}

void HoldersWindow::Eject_Click() {
    Start(u"正在弹出 " + DriveText(letter_) + u"...", [work = work_, letter = letter_]() mutable {
        HolderJobResult result;
        result.ejected = EjectDrive(letter, work.devices, work.clock);
        if (result.ejected->result == EjectResult::Vetoed) {
            result.report = LookAround(letter, work);
        }
        return result;
    });
}

void HoldersWindow::ForceEject_Click() {
    if (!IsWindowVisible(Item(kHoldersForce))) {
        return;  // offered only after a veto, whatever another program posts
    }
    // Asked here, before the worker starts: its question to go on just returns this answer. A
    // "no" still lets the volume be locked and ejected when every file has been closed by then.
    const bool confirmed = services_.boxes.Show(window_, ForceQuestion(letter_, report_.holders),
                                                kStyleInfoYesNo) == kAnswerYes;
    Start(u"正在强制弹出 " + DriveText(letter_) + u"...",
          [work = work_, &volumes = services_.volumes, letter = letter_, confirmed]() mutable {
              HolderJobResult result;
              result.forced = ForceEject(letter, volumes, work.devices, work.clock,
                                         [confirmed] { return confirmed; });
              const auto& eject = result.forced->eject;
              if (!eject || eject->result != EjectResult::Ejected) {
                  result.report = LookAround(letter, work);
              }
              return result;
          });
}

void HoldersWindow::Elevate_Click() {
    services_.shell.Execute(u"runas", SelfPath(), HoldersArguments(letter_));
}

}  // namespace varnel::win32

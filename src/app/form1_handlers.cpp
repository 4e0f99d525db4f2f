// Form1's handlers for its own life and its menus.
#include "app/main_window.h"

#include <commctrl.h>

#include <utility>
#include <vector>

#include "build_config.h"
#include "platform/platform_error.h"
#include "platform/skin_file.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

namespace {

std::u16string ProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            return FromWide(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

void MainWindow::Form_Load() {
    // The window carries no icon of its own; the program file keeps its icon.
    SendMessageW(window_, WM_SETICON, ICON_BIG, 0);
    SendMessageW(window_, WM_SETICON, ICON_SMALL, 0);

    skin_.Attach(SkinFilePath(ProgramPath()));  // the native look stays when there is none
    if (const SkinColors* skin = skin_.Colors()) {
        if (skin->statusBar) {
            SendMessageW(Control(kS1), SB_SETBKCOLOR, 0,
                         static_cast<LPARAM>(ToColorRef(*skin->statusBar)));
        }
    }

    // Fixed size: no sizing border. The result of the write is not looked at.
    const LONG style = GetWindowLongW(window_, GWL_STYLE);
    SetWindowLongW(window_, GWL_STYLE, static_cast<LONG>(static_cast<DWORD>(style) & 0xFFFBFFFFu));
    SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool MainWindow::Form_QueryUnload() {
    int answer = kAnswerNo;
    Run([&] { answer = services_.boxes.Show(u"是否确定退出软件?", kBoxTitle, kStyleInfoYesNo); });
    return answer == kAnswerYes;
}

void MainWindow::EnableButtons() {
    command1_.SetEnabled(true);
    command2_.SetEnabled(true);
    command3_.SetEnabled(true);
    command4_.SetEnabled(true);
    command5_.SetEnabled(true);
}

void MainWindow::List1_MouseDown(int button) {
    if (button != 2) {
        return;
    }
    POINT at{};
    GetCursorPos(&at);
    ShowLogMenu(at);
}

void MainWindow::ShowLogMenu(POINT at) {
    TrackPopupMenu(qingkong_.get(), 0, at.x, at.y, 0, window_, nullptr);
}

void MainWindow::qk_Click() {
    log_.qk_Click();
}

void MainWindow::use_Click() {
    const int length = GetWindowTextLengthW(Control(kLabel1));
    std::vector<wchar_t> caption(static_cast<size_t>(length) + 1);
    const int copied = GetWindowTextW(Control(kLabel1), caption.data(), length + 1);
    services_.boxes.Show(FromWide(caption.data(), static_cast<size_t>(copied)), kBoxTitle,
                         kStyleInfoOk);
}

void MainWindow::tuichu_Click() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

// Web addresses are opened by the shell, minimized; it hands them to the user's browser.
void MainWindow::varnow_Click() {
    services_.starter.Start(SystemProgram::Shell,
                            std::u16string(u"explorer.exe ") + VARNEL_BRAND_SITE, kShowMinimized);
}

void MainWindow::ostride_Click() {
    services_.starter.Start(SystemProgram::Shell,
                            std::u16string(u"explorer.exe ") + VARNEL_PARTNER_SITE, kShowMinimized);
}

void MainWindow::Timer1_Timer() {
    versionCheck_.Timer1_Timer();
}

void MainWindow::OnVersionResult() {
    if (auto result = exchange_.TakeResult()) {
        versionCheck_.OnAnswer(std::move(*result));
    }
}

void MainWindow::StopTimer1() {
    if (IsOpen()) {
        KillTimer(window_, kTimer1);
    }
}

void MainWindow::Command1_Click() {
    singleActions_.Command1_Click();
}
void MainWindow::Command2_Click() {
    singleActions_.Command2_Click();
}
void MainWindow::Command3_Click() {
    singleActions_.Command3_Click();
}
void MainWindow::Command4_Click() {
    oneClickRepair_.Command4_Click();
}
void MainWindow::Command5_Click() {
    singleActions_.Command5_Click();
}

}  // namespace varnel::win32

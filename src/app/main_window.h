// Form1: the program's only window. It owns the controls, lays them out from the layout table at
// the window's DPI, and routes every event to the handler named after its object and event.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/controls_win32.h"
#include "app/services.h"
#include "app/version_exchange_win32.h"
#include "build_config.h"
#include "layout/layout.h"
#include "log/activity_log.h"
#include "platform/win32/scoped_gdi.h"
#include "platform/win32/skin_win32.h"
#include "platform/win32/winhttp_transport.h"
#include "platform/window_services.h"
#include "repair/one_click_repair.h"
#include "repair/responsive_wait.h"
#include "repair/single_actions.h"
#include "update/version_check.h"

namespace varnel::win32 {

class MainWindow : public WindowPresence {
public:
    explicit MainWindow(const Services& services);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window with its controls, runs Form_Load and shows it centred on the screen.
    // The window class is registered by the first window and kept for later ones.
    bool Create(HINSTANCE instance);
    HWND Handle() const { return window_; }
    bool IsOpen() const override { return window_ != nullptr && IsWindow(window_); }
    // After the message loop: puts back the shell if Command3 took it away.
    void OnExit();

private:
    static constexpr UINT_PTR kTimer1 = 1;
    static constexpr UINT_PTR kClockTimer = 2;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    void CreateMenus();
    void ApplyFont(unsigned dpi);
    void ApplyDpi(unsigned dpi);  // font and every control's place
    void LayOutStatusBar();
    RECT CentredFrame(unsigned dpi) const;
    void OnDpiChanged(unsigned dpi);
    void FitClientArea();
    void UpdateClock();
    void OnCommand(int id, int code, HWND control);
    LRESULT OnControlColor(HDC dc, HWND control);

    // Runs a handler; a platform failure stops it and is shown, and the program goes on.
    void Run(const std::function<void()>& handler);

    // Handlers.
    void Form_Load();
    bool Form_QueryUnload();  // true: the close goes on
    void Timer1_Timer();
    void OnVersionResult();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void List1_MouseDown(int button);
    void ShowLogMenu(POINT at);  // the popup qingkong, at a point of the screen
    void use_Click();
    void tuichu_Click();
    void varnow_Click();
    void ostride_Click();
    void qk_Click();
    void EnableButtons();
    void StopTimer1();

    HWND& Control(ControlId id);

    HWND window_ = nullptr;
    HMENU menuBar_ = nullptr;
    ScopedMenu qingkong_;  // the log's popup menu, never in the bar
    ScopedGdiObject<HFONT> font_;
    Skin skin_;
    unsigned dpi_ = 96;
    std::array<HWND, 10> controls_{};  // indexed by ControlId - kFrame1

    ListBoxControl list1_{Control(kList1)};
    StatusBarControl s1_{Control(kS1)};
    PushButton command1_{Control(kCommand1)};
    PushButton command2_{Control(kCommand2)};
    PushButton command3_{Control(kCommand3)};
    PushButton command4_{Control(kCommand4)};
    PushButton command5_{Control(kCommand5)};
    Services services_;
    ActivityLog log_{list1_, s1_, services_.timeOfDay};
    ResponsiveWait wait_{services_.clock, services_.pump};
    SingleActions singleActions_{log_, services_.processes, services_.clipboard, services_.starter,
                                 command3_};
    OneClickRepair oneClickRepair_{log_,
                                   services_.processes,
                                   services_.clipboard,
                                   services_.starter,
                                   services_.boxes,
                                   command4_,
                                   wait_,
                                   *this};
    ThreadedVersionExchange exchange_{services_.transport, window_, WinHttpTransport::kTimeLimit};
    VersionCheck versionCheck_{exchange_,
                               services_.codePage,
                               services_.boxes,
                               log_,
                               services_.starter,
                               services_.exit,
                               *this,
                               [this] { EnableButtons(); },
                               [this] { StopTimer1(); },
                               {VARNEL_VERSION_SERVICE, VARNEL_DOWNLOAD_SITE}};
};

}  // namespace varnel::win32

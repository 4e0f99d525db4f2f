// The holders window of one drive: who holds it, closing or ending them, ejecting it. Every look
// and every action runs on a worker thread; its one result is posted back to the window, and a
// newer piece of work drops the result of the one before.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/holder_workers.h"
#include "holders/eject_plans.h"
#include "holders/holders_view.h"
#include "layout/layout.h"
#include "platform/platform_error.h"
#include "platform/shell_starter.h"
#include "platform/win32/scoped_gdi.h"

namespace varnel::win32 {

// Message boxes owned by the window that asks.
class WindowBoxes {
public:
    virtual ~WindowBoxes() = default;
    virtual int Show(HWND owner, const std::u16string& text, unsigned style) = 0;
};

class SystemWindowBoxes : public WindowBoxes {
public:
    int Show(HWND owner, const std::u16string& text, unsigned style) override;
};

// Everything the holders windows work with. main.cpp builds the real services; a test hands in
// fakes. The work's services and the volumes are called from worker threads.
struct HoldersServices {
    holders::HolderWork work;
    Volumes& volumes;
    ShellStarter& shell;
    WindowBoxes& boxes;
};

// The menu's item that ejects every removable drive, after the drives' items.
inline constexpr UINT kMenuHoldersEjectAll = kMenuHoldersDrive + 26;

// The one result of a piece of work.
struct HolderJobResult {
    std::optional<holders::DriveView> report;  // the look after the work
    std::optional<holders::FreeOutcome> freed;
    std::optional<holders::EjectOutcome> ejected;
    std::optional<holders::EjectSteps> forced;
    std::optional<PlatformError> failure;
    bool askToEndLeft = false;  // freeing all: ask whether to end those still holding the drive
};

class HoldersWindow {
public:
    // switchDrive: another drive chosen in the picker; true when another window took it. The
    // picker's drives come from driveList, shared with the menu.
    HoldersWindow(const HoldersServices& services, DriveLister& driveList,
                  std::function<bool(char16_t)> switchDrive);
    ~HoldersWindow();
    HoldersWindow(const HoldersWindow&) = delete;
    HoldersWindow& operator=(const HoldersWindow&) = delete;

    bool Create(HWND owner, char16_t letter);
    HWND Handle() const { return window_; }
    char16_t Letter() const { return letter_; }
    bool IsOpen() const { return window_ != nullptr && IsWindow(window_); }
    void BringForward() const;

private:
    // Where a worker leaves its result: only the newest piece of work may deliver, and only
    // while the window exists.
    struct Mailbox {
        std::mutex lock;
        HWND window = nullptr;
        unsigned generation = 0;
        std::optional<HolderJobResult> result;
    };
    static constexpr UINT kResultMessage = WM_APP + 1;  // wParam: the work's generation
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK KeyProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR window);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code, HWND control);
    LRESULT OnNotify(NMHDR& header);  // the list's questions are answered in place
    std::u16string CellText(int row, int column) const;
    // The first row from `start` on, round to the top, whose program begins with `typed`; or -1.
    LRESULT FindRow(int start, const std::u16string& typed) const;

    void CreateControls();
    void ApplyDpi(unsigned dpi);
    void PlaceList();  // up into the veto line's place while that line is hidden
    void PlaceOver(HWND owner);
    void FillDrives();
    void SetDrive(char16_t letter);
    void OnDriveChosen();
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    void SetLine(int id, const std::u16string& text);

    // Runs the work on a worker; the window shows it is busy until its result arrives.
    // A look the system refuses ends in a line; any other work's failure in a box.
    void Start(const std::u16string& busyLine, std::function<HolderJobResult()> work,
               bool look = false);
    void OnResult();
    void ShowHolders(const holders::DriveView& view);
    void FillList();
    void SetBusy(bool busy);
    // The chosen rows: the holders, and the Explorer windows listed after them.
    struct Selection {
        std::vector<holders::Holder> holders;
        std::vector<uint64_t> windows;
    };
    Selection Selected() const;
    void Ask(const std::u16string& text);  // shows a failure or a note in a box
    // Asks before ending those of the chosen holders that may be ended; the chosen Explorer
    // windows are only closed, through the shell.
    void EndAfterAsking(const std::vector<holders::Holder>& chosen,
                        const std::vector<uint64_t>& windows = {});

    void Refresh_Click();
    void Close_Click();
    void End_Click();
    void FreeAll_Click();
    void Eject_Click();
    void ForceEject_Click();
    void Elevate_Click();

    HoldersServices services_;
    holders::HolderWork work_;
    DriveLister& driveList_;
    std::function<bool(char16_t)> switchDrive_;
    std::shared_ptr<Mailbox> mailbox_;
    HWND window_ = nullptr;
    char16_t letter_ = u'A';
    unsigned dpi_ = 96;
    ScopedGdiObject<HFONT> font_;
    holders::HolderReport report_;          // the holders in the list's order
    std::vector<ShellWindow> windows_;      // the Explorer windows, listed after the holders
    std::vector<holders::HolderRow> rows_;  // the list's texts, which it asks for as it paints
    holders::Column sortColumn_ = holders::Column::Program;
    bool ascending_ = true;
    bool looking_ = false;  // the work under way is a look
};

// The menu 占用查询 of the main window and the holders windows it opens, one per drive. It hooks
// into the main window by subclassing it: the menu's opening and its items' commands.
class HoldersMenu {
public:
    explicit HoldersMenu(const HoldersServices& services) : services_(services) {}
    ~HoldersMenu();
    HoldersMenu(const HoldersMenu&) = delete;
    HoldersMenu& operator=(const HoldersMenu&) = delete;

    void Attach(HWND mainWindow);
    // Opens the drive's holders window, or brings forward the one already open.
    void Open(char16_t letter);

private:
    // Where the worker of 弹出全部可移动驱动器 leaves its report for the main window.
    struct EjectAllMailbox {
        std::mutex lock;
        HWND window = nullptr;
        bool running = false;
        std::u16string report;
    };
    static constexpr UINT kEjectAllMessage = WM_APP + 20;
    // A drive list that came after its wait with news: the open windows' pickers are filled again.
    static constexpr UINT kLateDrivesMessage = WM_APP + 21;
    // How long opening the menu or a picker waits for the drives' answer.
    static constexpr DWORD kDriveListWaitMs = 300;

    static LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    void FillMenu(HMENU popup);
    HoldersWindow* OpenWindowOf(char16_t letter);
    // Ejects every removable and external drive on a worker; the report comes in a box.
    void EjectAll();
    void OnEjectAllDone();

    HoldersServices services_;
    DriveLister driveList_{services_.work.drives, kDriveListWaitMs};
    std::shared_ptr<EjectAllMailbox> ejectAll_ = std::make_shared<EjectAllMailbox>();
    HWND main_ = nullptr;
    std::vector<std::unique_ptr<HoldersWindow>> windows_;
};

}  // namespace varnel::win32

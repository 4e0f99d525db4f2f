// The single repair buttons against the running system: what they end, what they start, what
// they leave on the clipboard, and what they tell the user.
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace {

using e2e::App;
using e2e::Box;
using e2e::ToolCopy;
using e2e::WaitUntil;

constexpr int kCommand1 = 101, kCommand2 = 102, kCommand3 = 103, kCommand5 = 105;
constexpr int kMenuQk = 209;
constexpr int kStatus = 2;

const std::wstring kSafeRemovalArgs = L"shell32.dll,Control_RunDLL hotplug.dll";

App::Options WithRecorders() {
    App::Options options;
    options.beside = {{L"recorder.exe", L"explorer.exe"}, {L"recorder.exe", L"RUNDLL32.EXE"}};
    return options;
}

// Empties the log through its menu item, so that what a click writes next stands alone.
void ClearLog(const App& app) {
    app.Menu(kMenuQk);
    E2E_CHECK(WaitUntil(
        [&] { return app.LogLines().empty() && app.StatusText(kStatus) == L"已清空日志..."; },
        5000));
}

void WaitForStatus(const App& app, const std::wstring& text) {
    if (!WaitUntil([&] { return app.StatusText(kStatus) == text; }, 5000)) {
        E2E_CHECK_EQ(app.StatusText(kStatus), text);
    }
}

bool AnyRunning(const std::vector<DWORD>& pids) {
    for (DWORD pid : pids) {
        if (e2e::ProcessRunning(pid))
            return true;
    }
    return false;
}

// Moves a file of the Wine prefix out of the way for the life of the object.
class HiddenFile {
public:
    explicit HiddenFile(std::wstring path) : path_(std::move(path)), hidden_(path_ + L".e2e") {
        if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) {
            // Left hidden by an earlier run that did not finish: put it back first.
            MoveFileW(hidden_.c_str(), path_.c_str());
        }
        if (!MoveFileW(path_.c_str(), hidden_.c_str())) {
            throw e2e::Failure{"cannot hide " + e2e::Narrow(path_)};
        }
    }
    ~HiddenFile() { MoveFileW(hidden_.c_str(), path_.c_str()); }
    HiddenFile(const HiddenFile&) = delete;
    HiddenFile& operator=(const HiddenFile&) = delete;

private:
    std::wstring path_;
    std::wstring hidden_;
};

std::wstring SystemFile(const wchar_t* name) {
    wchar_t directory[MAX_PATH] = {};
    GetSystemDirectoryW(directory, MAX_PATH);
    return std::wstring(directory) + L"\\" + name;
}

std::wstring WindowsFile(const wchar_t* name) {
    wchar_t directory[MAX_PATH] = {};
    GetWindowsDirectoryW(directory, MAX_PATH);
    return std::wstring(directory) + L"\\" + name;
}

}  // namespace

// Every process whose image name is rundll32.exe in any case ends; names that only contain it
// do not. With none left the action reports the same.
E2E_TEST(command2_ends_every_rundll32_and_spares_look_alikes) {
    App app;
    const std::wstring folder = app.Directory();
    std::vector<ToolCopy> ending;
    ending.emplace_back(L"sleeper.exe", folder + L"\\a\\rundll32.exe");
    ending.emplace_back(L"sleeper.exe", folder + L"\\b\\RunDll32.EXE");
    ending.emplace_back(L"sleeper.exe", folder + L"\\c\\rundll32.exe");
    std::vector<ToolCopy> staying;
    staying.emplace_back(L"sleeper.exe", folder + L"\\myrundll32.exe");
    staying.emplace_back(L"sleeper.exe", folder + L"\\rundll32.exe.bak");
    E2E_CHECK(
        WaitUntil([] { return e2e::ProcessesNamedAnyCase(L"rundll32.exe").size() >= 3; }, 5000));
    // The differently cased copy really shows under its own spelling.
    E2E_CHECK_EQ(e2e::ProcessesNamed(L"RunDll32.EXE").size(), 1u);

    app.Click(kCommand2);
    WaitForStatus(app, L"已清除相关进程,您可尝试移除移动设备...");
    for (const ToolCopy& copy : ending) {
        if (!copy.WaitForExit(5000))
            E2E_CHECK_EQ(e2e::Narrow(copy.Path()), std::string("ended"));
    }
    for (const ToolCopy& copy : staying) {
        if (!copy.Running())
            E2E_CHECK_EQ(e2e::Narrow(copy.Path()), std::string("still running"));
    }
    E2E_CHECK(e2e::ProcessesNamedAnyCase(L"rundll32.exe").empty());
    E2E_CHECK_EQ(app.LogLines().size(), 1u);
    E2E_CHECK_EQ(e2e::LogMessage(app.LogLines()[0]), std::wstring(L"已清除相关进程..."));
    E2E_CHECK_EQ(app.LogSelection(), 0);

    // Nothing of the name runs now: the same report, written anew.
    ClearLog(app);
    app.Click(kCommand2);
    WaitForStatus(app, L"已清除相关进程,您可尝试移除移动设备...");
    E2E_CHECK(WaitUntil([&] { return app.LogLines().size() == 1; }, 5000));
    E2E_CHECK_EQ(e2e::LogMessage(app.LogLines()[0]), std::wstring(L"已清除相关进程..."));
    for (const ToolCopy& copy : staying)
        E2E_CHECK(copy.Running());
}

E2E_TEST(command1_empties_the_clipboard) {
    App app;
    e2e::PutClipboardText(L"U盘里的文件 still on the clipboard");
    E2E_CHECK(IsClipboardFormatAvailable(CF_UNICODETEXT));

    app.Click(kCommand1);
    WaitForStatus(app, L"已清空剪贴板,您可尝试移除移动设备...");
    E2E_CHECK(WaitUntil([] { return e2e::ClipboardFormats() == 0; }, 3000));
    E2E_CHECK(!IsClipboardFormatAvailable(CF_UNICODETEXT));
    E2E_CHECK_EQ(app.LogLines().size(), 1u);
    E2E_CHECK_EQ(e2e::LogMessage(app.LogLines()[0]), std::wstring(L"已清空剪贴板..."));
    E2E_CHECK_EQ(app.LogSelection(), 0);

    // An empty clipboard is emptied all the same, and said so; the new line is selected.
    app.Click(kCommand1);
    E2E_CHECK(WaitUntil([&] { return app.LogLines().size() == 2; }, 5000));
    E2E_CHECK_EQ(e2e::LogMessage(app.LogLines()[1]), std::wstring(L"已清空剪贴板..."));
    E2E_CHECK_EQ(app.LogSelection(), 1);
    E2E_CHECK_EQ(app.StatusText(kStatus), std::wstring(L"已清空剪贴板,您可尝试移除移动设备..."));
    E2E_CHECK(!app.BoxOpen());
}

// The first click ends every shell, Wine's own among them; the second starts explorer.exe
// minimized, found beside the program first.
E2E_TEST(command3_stops_then_restarts_the_shell) {
    App app(WithRecorders());
    ToolCopy shell(L"sleeper.exe", app.Directory() + L"\\shell\\EXPLORER.EXE");
    E2E_CHECK(WaitUntil([&] { return e2e::ProcessesNamed(L"EXPLORER.EXE").size() == 1; }, 5000));
    const std::vector<DWORD> shells = e2e::ProcessesNamedAnyCase(L"explorer.exe");
    const std::vector<DWORD> wineShells = e2e::ProcessesNamed(L"explorer.exe");
    std::printf("explorer.exe before the stop: %u (Wine's own: %u)\n",
                static_cast<unsigned>(shells.size()), static_cast<unsigned>(wineShells.size()));
    E2E_CHECK(!wineShells.empty());
    E2E_CHECK_EQ(app.ControlText(kCommand3), std::wstring(L"清除Explorer"));

    app.Click(kCommand3);
    E2E_CHECK(WaitUntil([&] { return app.ControlText(kCommand3) == L"重启Explorer"; }, 5000));
    E2E_CHECK(WaitUntil([&] { return !AnyRunning(shells); }, 5000));
    E2E_CHECK_EQ(app.StatusText(kStatus), std::wstring(L"已清除Explorer,请点击重启Explorer..."));
    E2E_CHECK_EQ(e2e::LogMessages(app.LogLines()), std::vector<std::wstring>{L"已清除Explorer..."});
    E2E_CHECK(e2e::RecorderLog(app.Directory()).empty());
    E2E_CHECK(app.Running());

    app.Click(kCommand3);
    E2E_CHECK(WaitUntil([&] { return app.ControlText(kCommand3) == L"清除Explorer"; }, 5000));
    E2E_CHECK(WaitUntil([&] { return !e2e::RecorderLog(app.Directory()).empty(); }, 5000));
    const std::vector<e2e::Recorded> started = e2e::RecorderLog(app.Directory());
    E2E_CHECK_EQ(started.size(), 1u);
    E2E_CHECK_EQ(started[0].exe, std::wstring(L"explorer.exe"));
    E2E_CHECK_EQ(started[0].show, std::wstring(L"2"));  // SW_SHOWMINIMIZED
    E2E_CHECK_EQ(started[0].args, std::wstring());
    E2E_CHECK_EQ(app.StatusText(kStatus), std::wstring(L"已重启Explorer,您可尝试移除移动设备..."));
    E2E_CHECK_EQ(e2e::LogMessages(app.LogLines()),
                 (std::vector<std::wstring>{L"已清除Explorer...", L"已重启Explorer..."}));
    E2E_CHECK_EQ(app.LogSelection(), 1);
}

// The dialog's command line reaches RUNDLL32.EXE word for word, shown normally, at every click;
// the log and the status line stay as they were.
E2E_TEST(command5_starts_the_safe_removal_dialog_each_click) {
    App app(WithRecorders());
    const std::wstring status = app.StatusText(kStatus);

    for (size_t click = 1; click <= 2; ++click) {
        app.Click(kCommand5);
        E2E_CHECK(
            WaitUntil([&] { return e2e::RecorderLog(app.Directory()).size() == click; }, 5000));
    }
    Sleep(300);
    const std::vector<e2e::Recorded> started = e2e::RecorderLog(app.Directory());
    E2E_CHECK_EQ(started.size(), 2u);
    for (const e2e::Recorded& start : started) {
        E2E_CHECK_EQ(start.exe, std::wstring(L"RUNDLL32.EXE"));
        E2E_CHECK_EQ(start.show, std::wstring(L"1"));  // SW_SHOWNORMAL
        E2E_CHECK_EQ(start.args, kSafeRemovalArgs);
        E2E_CHECK_EQ(start.commandLine, L"RUNDLL32.EXE " + kSafeRemovalArgs);
    }
    E2E_CHECK(app.LogLines().empty());
    E2E_CHECK_EQ(app.StatusText(kStatus), status);
}

// With every copy of the program gone from where it would be found (beside the program and in
// Wine's own folders), a start fails: a box names what failed, the action stops at that step and
// the program goes on working.
E2E_TEST(missing_program_shows_an_error_and_the_program_lives_on) {
    App app;
    app.Click(kCommand3);
    E2E_CHECK(WaitUntil([&] { return app.ControlText(kCommand3) == L"重启Explorer"; }, 5000));
    {
        HiddenFile systemShell(SystemFile(L"explorer.exe"));
        HiddenFile windowsShell(WindowsFile(L"explorer.exe"));
        HiddenFile systemRundll(SystemFile(L"rundll32.exe"));
        wchar_t found[MAX_PATH] = {};
        E2E_CHECK_EQ(SearchPathW(nullptr, L"explorer.exe", nullptr, MAX_PATH, found, nullptr), 0u);
        E2E_CHECK_EQ(SearchPathW(nullptr, L"RUNDLL32.EXE", nullptr, MAX_PATH, found, nullptr), 0u);

        app.Click(kCommand3);
        Box box = app.WaitForBox();
        const std::wstring text = box.Text();
        std::printf("restart error: %s\n", e2e::Narrow(text).c_str());
        E2E_CHECK(text.find(L"启动程序 explorer.exe") != std::wstring::npos);
        E2E_CHECK_EQ(box.Title(), std::wstring(L"提示"));
        box.Press(IDOK);
        // The caption had turned before the start; the report after it never came.
        E2E_CHECK_EQ(app.ControlText(kCommand3), std::wstring(L"清除Explorer"));
        E2E_CHECK_EQ(app.StatusText(kStatus),
                     std::wstring(L"已清除Explorer,请点击重启Explorer..."));
        E2E_CHECK_EQ(e2e::LogMessages(app.LogLines()),
                     std::vector<std::wstring>{L"已清除Explorer..."});

        app.Click(kCommand5);
        box = app.WaitForBox();
        std::printf("dialog error: %s\n", e2e::Narrow(box.Text()).c_str());
        E2E_CHECK(
            box.Text().find(L"启动程序 RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll") !=
            std::wstring::npos);
        box.Press(IDOK);
    }
    // Still running and answering.
    E2E_CHECK(app.Running());
    app.Click(kCommand2);
    WaitForStatus(app, L"已清除相关进程,您可尝试移除移动设备...");
    E2E_CHECK_EQ(e2e::LogMessages(app.LogLines()),
                 (std::vector<std::wstring>{L"已清除Explorer...", L"已清除相关进程..."}));
}

// The single repair buttons against the running system: what they end, what they start, what
// they leave on the clipboard, and what they tell the user.
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

const std::wstring kSafeRemovalArgs = L"shell32.dll,Control_RunDLL hotplug.dll";

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
    E2E_CHECK(WaitUntil([] { return ProcessesNamedAnyCase(L"rundll32.exe").size() >= 3; }, 5000));
    // The differently cased copy really shows under its own spelling.
    E2E_CHECK_EQ(ProcessesNamed(L"RunDll32.EXE").size(), 1u);

    app.Click(kCommand2);
    app.WaitForStatus(kProcessesCleared);
    for (const ToolCopy& copy : ending) {
        if (!copy.WaitForExit(5000))
            E2E_CHECK_EQ(Narrow(copy.Path()), "ended");
    }
    for (const ToolCopy& copy : staying) {
        if (!copy.Running())
            E2E_CHECK_EQ(Narrow(copy.Path()), "still running");
    }
    E2E_CHECK(ProcessesNamedAnyCase(L"rundll32.exe").empty());
    E2E_CHECK_EQ(app.LogMessages(), Lines{L"已清除相关进程..."});
    E2E_CHECK_EQ(app.LogSelection(), 0);

    // Nothing of the name runs now: the same report, written anew.
    app.ClearLog();
    app.Click(kCommand2);
    app.WaitForStatus(kProcessesCleared);
    E2E_CHECK(WaitUntil([&] { return app.LogLines().size() == 1; }, 5000));
    E2E_CHECK_EQ(LogMessage(app.LogLines()[0]), L"已清除相关进程...");
    for (const ToolCopy& copy : staying)
        E2E_CHECK(copy.Running());
}

E2E_TEST(command1_empties_the_clipboard) {
    App app;
    PutClipboardText(L"U盘里的文件 still on the clipboard");
    E2E_CHECK(IsClipboardFormatAvailable(CF_UNICODETEXT));

    app.Click(kCommand1);
    app.WaitForStatus(L"已清空剪贴板,您可尝试移除移动设备...");
    E2E_CHECK(WaitUntil([] { return CountClipboardFormats() == 0; }, 3000));
    E2E_CHECK(!IsClipboardFormatAvailable(CF_UNICODETEXT));
    E2E_CHECK_EQ(app.LogMessages(), Lines{L"已清空剪贴板..."});
    E2E_CHECK_EQ(app.LogSelection(), 0);

    // An empty clipboard is emptied all the same, and said so; the new line is selected.
    app.Click(kCommand1);
    E2E_CHECK(WaitUntil([&] { return app.LogLines().size() == 2; }, 5000));
    E2E_CHECK_EQ(LogMessage(app.LogLines()[1]), L"已清空剪贴板...");
    E2E_CHECK_EQ(app.LogSelection(), 1);
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), L"已清空剪贴板,您可尝试移除移动设备...");
    E2E_CHECK(!app.BoxOpen());
}

// The first click ends every shell, Wine's own among them; the second starts explorer.exe
// minimized, from the Windows folder.
E2E_TEST(command3_stops_then_restarts_the_shell) {
    App app({.recorders = true});
    ToolCopy shell(L"sleeper.exe", app.Directory() + L"\\shell\\EXPLORER.EXE");
    E2E_CHECK(WaitUntil([&] { return ProcessesNamed(L"EXPLORER.EXE").size() == 1; }, 5000));
    const std::vector<DWORD> shells = ProcessesNamedAnyCase(L"explorer.exe");
    const std::vector<DWORD> wineShells = ProcessesNamed(L"explorer.exe");
    std::printf("explorer.exe before the stop: %u (Wine's own: %u)\n",
                static_cast<unsigned>(shells.size()), static_cast<unsigned>(wineShells.size()));
    E2E_CHECK(!wineShells.empty());
    E2E_CHECK_EQ(app.ControlText(kCommand3), L"清除Explorer");

    app.Click(kCommand3);
    E2E_CHECK(WaitUntil([&] { return app.ControlText(kCommand3) == L"重启Explorer"; }, 5000));
    E2E_CHECK(WaitUntil([&] { return !AnyRunning(shells); }, 5000));
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), L"已清除Explorer,请点击重启Explorer...");
    E2E_CHECK_EQ(app.LogMessages(), Lines{L"已清除Explorer..."});
    E2E_CHECK(RecorderLog(app.Directory()).empty());
    E2E_CHECK(app.Running());

    app.Click(kCommand3);
    E2E_CHECK(WaitUntil([&] { return app.ControlText(kCommand3) == L"清除Explorer"; }, 5000));
    E2E_CHECK(WaitUntil([&] { return !RecorderLog(app.Directory()).empty(); }, 5000));
    const std::vector<Recorded> started = RecorderLog(app.Directory());
    E2E_CHECK_EQ(started.size(), 1u);
    E2E_CHECK_EQ(started[0].Summary(), L"%windir%\\explorer.exe show=2 args=");  // SW_SHOWMINIMIZED
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), L"已重启Explorer,您可尝试移除移动设备...");
    E2E_CHECK_EQ(app.LogMessages(), (Lines{L"已清除Explorer...", L"已重启Explorer..."}));
    E2E_CHECK_EQ(app.LogSelection(), 1);

    // Stopped again and left so: quitting puts the shell back.
    app.Click(kCommand3);
    E2E_CHECK(WaitUntil([&] { return app.ControlText(kCommand3) == L"重启Explorer"; }, 5000));
    app.Close();
    app.WaitForBoxSaying(kCloseQuestion).Press(IDYES);
    E2E_CHECK(app.WaitForExit(5000));
    E2E_CHECK(WaitUntil([&] { return RecorderLog(app.Directory()).size() == 2; }, 5000));
    E2E_CHECK_EQ(RecorderLog(app.Directory())[1].Summary(), L"%windir%\\explorer.exe show=2 args=");
}

// The dialog's command line reaches the system folder's rundll32.exe word for word, shown
// normally, at every click; copies named RUNDLL32.EXE beside the program and in its current
// directory never run. The log and the status line stay as they were.
E2E_TEST(command5_starts_the_safe_removal_dialog_each_click) {
    App app({.recorders = true, .beside = kPlanted, .currentDirectory = PlantedDirectory()});
    const std::wstring status = app.StatusText(kMessagePanel);

    for (size_t click = 1; click <= 2; ++click) {
        app.Click(kCommand5);
        E2E_CHECK(WaitUntil([&] { return RecorderLog(app.Directory()).size() == click; }, 5000));
    }
    Sleep(300);
    const std::vector<Recorded> started = RecorderLog(app.Directory());
    E2E_CHECK_EQ(started.size(), 2u);
    for (const Recorded& start : started) {
        // Shown normally: SW_SHOWNORMAL.
        E2E_CHECK_EQ(start.Summary(),
                     L"%windir%\\system32\\rundll32.exe show=1 args=" + kSafeRemovalArgs);
        E2E_CHECK_EQ(start.commandLine, L"RUNDLL32.EXE " + kSafeRemovalArgs);
    }
    E2E_CHECK(app.LogLines().empty());
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), status);
}

// With every copy of the program gone from where it would be found (beside the program and in
// Wine's own folders), a start fails: a box names what failed, the action stops at that step and
// the program goes on working.
E2E_TEST(missing_program_shows_an_error_and_the_program_lives_on) {
    App app;
    app.Click(kCommand3);
    E2E_CHECK(WaitUntil([&] { return app.ControlText(kCommand3) == L"重启Explorer"; }, 5000));
    {
        const SwappedFile systemShell(SystemFolder() + L"\\explorer.exe");
        const SwappedFile windowsShell(ShellPath());
        const SwappedFile systemRundll(Rundll32Path());
        wchar_t found[MAX_PATH] = {};
        E2E_CHECK_EQ(SearchPathW(nullptr, L"explorer.exe", nullptr, MAX_PATH, found, nullptr), 0u);
        E2E_CHECK_EQ(SearchPathW(nullptr, L"RUNDLL32.EXE", nullptr, MAX_PATH, found, nullptr), 0u);

        app.Click(kCommand3);
        Box box = app.WaitForBox();
        const std::wstring text = box.Text();
        std::printf("restart error: %s\n", Narrow(text).c_str());
        E2E_CHECK(text.find(L"启动程序 explorer.exe") != std::wstring::npos);
        E2E_CHECK_EQ(box.Title(), kBoxTitle);
        box.Press(IDOK);
        // The caption had turned before the start; the report after it never came.
        E2E_CHECK_EQ(app.ControlText(kCommand3), L"清除Explorer");
        E2E_CHECK_EQ(app.StatusText(kMessagePanel), L"已清除Explorer,请点击重启Explorer...");
        E2E_CHECK_EQ(app.LogMessages(), Lines{L"已清除Explorer..."});

        app.Click(kCommand5);
        box = app.WaitForBox();
        std::printf("dialog error: %s\n", Narrow(box.Text()).c_str());
        E2E_CHECK(box.Text().find(L"启动程序 RUNDLL32.EXE " + kSafeRemovalArgs) !=
                  std::wstring::npos);
        box.Press(IDOK);
    }
    // Still running and answering.
    E2E_CHECK(app.Running());
    app.Click(kCommand2);
    app.WaitForStatus(kProcessesCleared);
    E2E_CHECK_EQ(app.LogMessages(), (Lines{L"已清除Explorer...", L"已清除相关进程..."}));
}

}  // namespace e2e

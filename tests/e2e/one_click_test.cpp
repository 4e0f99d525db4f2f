// The one-click repair against the running system: its confirmation, its seven lines and six
// pauses, what it ends and starts, and the window staying usable while it pauses.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

const Lines kSequence = {
    L"正进行一键强力修复...",      L"已清空剪贴板...",   L"已清除相关进程...",
    L"已清除Explorer,正在重启...", L"已重启Explorer...", L"一键强力修复完毕...",
    L"您可以尝试移除移动设备...",
};
// When each line is written, in ms after the first: the pauses 2000, 2000, 3000, 2000, 2000,
// none between the two closing lines; Command4 comes back after the last 1000.
constexpr ULONGLONG kLineAt[] = {0, 2000, 4000, 7000, 9000, 11000, 11000};
constexpr ULONGLONG kEnabledAt = 12000;

Box AskForRepair(const App& app) {
    app.Click(kCommand4);
    Box box = app.WaitForBoxSaying(L"是否确定进行一键强力修复?");
    E2E_CHECK_EQ(box.Title(), kBoxTitle);
    E2E_CHECK(box.HasButton(IDYES) && box.HasButton(IDNO));
    return box;
}

void WaitForLines(const App& app, size_t count, DWORD timeoutMs = 8000) {
    if (!WaitUntil([&] { return app.LogLines().size() >= count; }, timeoutMs)) {
        E2E_CHECK_EQ(app.LogLines().size(), count);
    }
}

// What the driver saw at one moment of a run; `before` and `after` bracket the reads.
struct Sample {
    ULONGLONG before;
    size_t lines;
    bool command4Enabled;
    size_t starts;
    ULONGLONG after;
};

}  // namespace

// No leaves everything as it was. Yes runs the whole sequence: seven lines, six pauses, the
// clipboard emptied, rundll32.exe and the shell ended, the shell and then the dialog started.
E2E_TEST(one_click_full_run) {
    App app({.recorders = true});
    const std::wstring status = app.StatusText(kMessagePanel);

    PutClipboardText(L"held on the clipboard");
    AskForRepair(app).Press(IDNO);
    E2E_CHECK(!WaitUntil([&] { return !app.LogLines().empty() || !app.Enabled(kCommand4); }, 1500));
    E2E_CHECK(IsClipboardFormatAvailable(CF_UNICODETEXT));
    E2E_CHECK(RecorderLog(app.Directory()).empty());

    std::vector<ToolCopy> related;
    related.emplace_back(L"sleeper.exe", app.Directory() + L"\\a\\rundll32.exe");
    related.emplace_back(L"sleeper.exe", app.Directory() + L"\\b\\RunDll32.EXE");
    ToolCopy lookAlike(L"sleeper.exe", app.Directory() + L"\\myrundll32.exe");
    E2E_CHECK(WaitUntil([] { return ProcessesNamedAnyCase(L"rundll32.exe").size() >= 2; }, 5000));
    const std::vector<DWORD> shells = ProcessesNamedAnyCase(L"explorer.exe");

    Box question = AskForRepair(app);
    const ULONGLONG pressedYes = GetTickCount64();
    question.Press(IDYES);
    std::vector<Sample> samples;
    const ULONGLONG giveUp = GetTickCount64() + 25000;
    for (;;) {
        Sample sample{};
        sample.before = GetTickCount64();
        sample.starts = RecorderLog(app.Directory()).size();
        sample.lines = app.LogLines().size();
        sample.command4Enabled = app.Enabled(kCommand4);
        sample.after = GetTickCount64();
        samples.push_back(sample);
        if ((sample.lines > 0 && sample.command4Enabled && sample.starts == 2) ||
            sample.after > giveUp)
            break;
        Sleep(20);
    }

    E2E_CHECK_EQ(app.LogMessages(), kSequence);
    E2E_CHECK_EQ(app.LogSelection(), 6);

    // When something first held, as a span: after the last sample that did not see it, at the
    // latest when the first sample that saw it was over.
    struct Span {
        ULONGLONG after, until;
    };
    auto when = [&](auto seen) {
        Span span{pressedYes, 0};
        for (const Sample& s : samples) {
            if (!seen(s) && span.until == 0)
                span.after = s.before;
            if (seen(s) && span.until == 0)
                span.until = s.after;
        }
        E2E_CHECK(span.until != 0);
        return span;
    };
    // Fails only what the samples prove: a step that came too early, or much too late.
    const Span first = when([](const Sample& s) { return s.lines >= 1; });
    auto checkAt = [&](const char* what, const Span& span, ULONGLONG expected) {
        const ULONGLONG earliest = span.after - first.until, latest = span.until - first.after;
        std::printf("%s: %llu..%llu ms after the first line\n", what, earliest, latest);
        E2E_CHECK(latest >= expected);
        E2E_CHECK(earliest <= expected + 1500);
    };
    for (size_t line = 1; line < kSequence.size(); ++line) {
        const std::string what = "line " + std::to_string(line + 1);
        checkAt(what.c_str(), when([line](const Sample& s) { return s.lines > line; }),
                kLineAt[line]);
    }
    const auto enabledAgain = [](const Sample& s) { return s.lines > 0 && s.command4Enabled; };
    checkAt("Command4 enabled", when(enabledAgain), kEnabledAt);
    for (const Sample& s : samples)
        E2E_CHECK(!s.command4Enabled || s.lines == 0 || s.lines == kSequence.size());

    // The shell came back minimized after it was ended; the dialog, shown normally, last of all,
    // with Command4 already enabled.
    E2E_CHECK(when([](const Sample& s) { return s.starts >= 1; }).until >=
              when([](const Sample& s) { return s.lines >= 4; }).after);
    for (const Sample& s : samples)
        E2E_CHECK(s.starts < 2 || s.command4Enabled);
    const std::vector<Recorded> started = RecorderLog(app.Directory());
    E2E_CHECK_EQ(started.size(), 2u);
    E2E_CHECK_EQ(started[0].Summary(), L"%windir%\\explorer.exe show=2 args=");
    E2E_CHECK_EQ(started[1].Summary(),
                 L"%windir%\\system32\\rundll32.exe show=1 args=shell32.dll,Control_RunDLL "
                 L"hotplug.dll");

    E2E_CHECK_EQ(CountClipboardFormats(), 0);
    for (const ToolCopy& copy : related)
        E2E_CHECK(copy.WaitForExit(3000));
    E2E_CHECK(lookAlike.Running());
    E2E_CHECK(!AnyRunning(shells));

    // Neither the status line nor Command3's caption belongs to the sequence.
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), status);
    E2E_CHECK_EQ(app.ControlText(kCommand3), L"清除Explorer");
    E2E_CHECK(!app.BoxOpen());
}

// A single action clicked in a pause runs there and then, its line between the sequence's; the
// log cleared in a pause takes the sequence's next line at position 0.
E2E_TEST(one_click_pauses_run_single_actions_and_clear_log) {
    App app({.recorders = true});
    ToolCopy related(L"sleeper.exe", app.Directory() + L"\\rundll32.exe");

    AskForRepair(app).Press(IDYES);
    WaitForLines(app, 1);
    app.Click(kCommand2);
    app.WaitForStatus(kProcessesCleared);
    E2E_CHECK(related.WaitForExit(3000));
    E2E_CHECK_EQ(app.LogMessages(), (Lines{L"正进行一键强力修复...", L"已清除相关进程..."}));
    E2E_CHECK_EQ(app.LogSelection(), 1);
    E2E_CHECK(!app.Enabled(kCommand4));

    WaitForLines(app, 3);
    E2E_CHECK_EQ(app.LogMessages(),
                 (Lines{L"正进行一键强力修复...", L"已清除相关进程...", L"已清空剪贴板..."}));
    E2E_CHECK_EQ(app.LogSelection(), 2);

    app.ClearLog(1500);
    WaitForLines(app, 1);
    E2E_CHECK_EQ(app.LogMessages(), Lines{L"已清除相关进程..."});
    E2E_CHECK_EQ(app.LogSelection(), 0);

    E2E_CHECK(WaitUntil([&] { return app.Enabled(kCommand4); }, 20000));
    E2E_CHECK_EQ(app.LogMessages(), Lines(kSequence.begin() + 2, kSequence.end()));
    E2E_CHECK_EQ(app.LogSelection(), 4);
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), kLogCleared);
}

// The close question asked in a pause holds the sequence until it is answered. No goes on; Yes
// after the shell was ended starts the shell again and ends the program, with no dialog.
E2E_TEST(one_click_close_no_continues_yes_restores_the_shell) {
    App app({.recorders = true});
    AskForRepair(app).Press(IDYES);
    WaitForLines(app, 1);

    app.Close();
    Box question = app.WaitForBoxSaying(kCloseQuestion);
    Sleep(2500);  // past the pause's end: the open question holds the sequence
    E2E_CHECK_EQ(app.LogLines().size(), 1u);
    question.Press(IDNO);
    WaitForLines(app, 2, 3000);
    E2E_CHECK_EQ(app.LogMessages(), (Lines{L"正进行一键强力修复...", L"已清空剪贴板..."}));

    // In the pause after the shell was ended.
    WaitForLines(app, 4);
    E2E_CHECK_EQ(LogMessage(app.LogLines()[3]), L"已清除Explorer,正在重启...");
    E2E_CHECK(RecorderLog(app.Directory()).empty());
    app.Close();
    app.WaitForBoxSaying(kCloseQuestion).Press(IDYES);
    E2E_CHECK(app.WaitForExit(5000));
    E2E_CHECK_EQ(app.ExitCode(), 0ul);

    E2E_CHECK(WaitUntil([&] { return !RecorderLog(app.Directory()).empty(); }, 5000));
    Sleep(1500);  // a dialog would have been started by now
    const std::vector<Recorded> started = RecorderLog(app.Directory());
    E2E_CHECK_EQ(started.size(), 1u);
    E2E_CHECK_EQ(started[0].exe, L"explorer.exe");
    E2E_CHECK_EQ(started[0].show, L"2");
}

// A clipboard another program keeps open fails the first step; its box names the failure, and
// the sequence goes on: rundll32.exe ends, the shell is cycled and the dialog opens.
E2E_TEST(one_click_goes_on_past_a_held_clipboard) {
    App app({.recorders = true});
    const HeldClipboard held;
    ToolCopy related(L"sleeper.exe", app.Directory() + L"\\a\\rundll32.exe");
    AskForRepair(app).Press(IDYES);
    const Box failed = app.WaitForBox(6000);
    E2E_CHECK(failed.Text().starts_with(L"操作失败：打开剪贴板\n"));
    failed.Press(IDOK);
    E2E_CHECK(WaitUntil([&] { return RecorderLog(app.Directory()).size() == 2; }, 20000));
    Lines expected = kSequence;
    expected.erase(expected.begin() + 1);  // the clipboard's line: it was not emptied
    E2E_CHECK_EQ(app.LogMessages(), expected);
    E2E_CHECK(related.WaitForExit(0));
    E2E_CHECK_EQ(RecorderLog(app.Directory())[1].Summary(),
                 L"%windir%\\system32\\rundll32.exe show=1 args=shell32.dll,Control_RunDLL "
                 L"hotplug.dll");
}

}  // namespace e2e

// The one-click repair against the running system: its confirmation, its seven lines and six
// pauses, what it ends and starts, and the window staying usable while it pauses.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using e2e::App;
using e2e::Box;
using e2e::ToolCopy;
using e2e::WaitUntil;

constexpr int kCommand2 = 102, kCommand3 = 103, kCommand4 = 104;
constexpr int kMenuQk = 209;
constexpr int kStatus = 2;

const std::vector<std::wstring> kSequence = {
    L"正进行一键强力修复...",      L"已清空剪贴板...",   L"已清除相关进程...",
    L"已清除Explorer,正在重启...", L"已重启Explorer...", L"一键强力修复完毕...",
    L"您可以尝试移除移动设备...",
};
// When each line is written, in ms after the first: the pauses 2000, 2000, 3000, 2000, 2000,
// none between the two closing lines; Command4 comes back after the last 1000.
constexpr ULONGLONG kLineAt[] = {0, 2000, 4000, 7000, 9000, 11000, 11000};
constexpr ULONGLONG kEnabledAt = 12000;

App::Options WithRecorders() {
    App::Options options;
    options.beside = {{L"recorder.exe", L"explorer.exe"}, {L"recorder.exe", L"RUNDLL32.EXE"}};
    return options;
}

Box AskForRepair(const App& app) {
    app.Click(kCommand4);
    Box box = app.WaitForBox();
    E2E_CHECK_EQ(box.Text(), std::wstring(L"是否确定进行一键强力修复?"));
    E2E_CHECK_EQ(box.Title(), std::wstring(L"提示"));
    E2E_CHECK(box.HasButton(IDYES) && box.HasButton(IDNO));
    return box;
}

void WaitForLines(const App& app, size_t count, DWORD timeoutMs = 8000) {
    if (!WaitUntil([&] { return app.LogLines().size() >= count; }, timeoutMs)) {
        E2E_CHECK_EQ(app.LogLines().size(), count);
    }
}

void WaitForRepairEnd(const App& app) {
    E2E_CHECK(WaitUntil([&] { return app.Enabled(kCommand4); }, 20000));
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
    App app(WithRecorders());
    const std::wstring status = app.StatusText(kStatus);

    e2e::PutClipboardText(L"held on the clipboard");
    AskForRepair(app).Press(IDNO);
    E2E_CHECK(!WaitUntil([&] { return !app.LogLines().empty() || !app.Enabled(kCommand4); }, 1500));
    E2E_CHECK(IsClipboardFormatAvailable(CF_UNICODETEXT));
    E2E_CHECK(e2e::RecorderLog(app.Directory()).empty());

    std::vector<ToolCopy> related;
    related.emplace_back(L"sleeper.exe", app.Directory() + L"\\a\\rundll32.exe");
    related.emplace_back(L"sleeper.exe", app.Directory() + L"\\b\\RunDll32.EXE");
    ToolCopy lookAlike(L"sleeper.exe", app.Directory() + L"\\myrundll32.exe");
    E2E_CHECK(
        WaitUntil([] { return e2e::ProcessesNamedAnyCase(L"rundll32.exe").size() >= 2; }, 5000));
    const std::vector<DWORD> shells = e2e::ProcessesNamedAnyCase(L"explorer.exe");

    Box question = AskForRepair(app);
    const ULONGLONG pressedYes = GetTickCount64();
    question.Press(IDYES);
    std::vector<Sample> samples;
    const ULONGLONG giveUp = GetTickCount64() + 25000;
    for (;;) {
        Sample sample{};
        sample.before = GetTickCount64();
        sample.starts = e2e::RecorderLog(app.Directory()).size();
        sample.lines = app.LogLines().size();
        sample.command4Enabled = app.Enabled(kCommand4);
        sample.after = GetTickCount64();
        samples.push_back(sample);
        if ((sample.lines > 0 && sample.command4Enabled && sample.starts == 2) ||
            sample.after > giveUp)
            break;
        Sleep(20);
    }

    E2E_CHECK_EQ(e2e::LogMessages(app.LogLines()), kSequence);
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
    const std::vector<e2e::Recorded> started = e2e::RecorderLog(app.Directory());
    E2E_CHECK_EQ(started.size(), 2u);
    E2E_CHECK_EQ(started[0].exe, std::wstring(L"explorer.exe"));
    E2E_CHECK_EQ(started[0].show, std::wstring(L"2"));
    E2E_CHECK_EQ(started[0].args, std::wstring());
    E2E_CHECK_EQ(started[1].exe, std::wstring(L"RUNDLL32.EXE"));
    E2E_CHECK_EQ(started[1].show, std::wstring(L"1"));
    E2E_CHECK_EQ(started[1].args, std::wstring(L"shell32.dll,Control_RunDLL hotplug.dll"));

    E2E_CHECK_EQ(e2e::ClipboardFormats(), 0);
    for (const ToolCopy& copy : related)
        E2E_CHECK(copy.WaitForExit(3000));
    E2E_CHECK(lookAlike.Running());
    for (DWORD pid : shells)
        E2E_CHECK(!e2e::ProcessRunning(pid));

    // Neither the status line nor Command3's caption belongs to the sequence.
    E2E_CHECK_EQ(app.StatusText(kStatus), status);
    E2E_CHECK_EQ(app.ControlText(kCommand3), std::wstring(L"清除Explorer"));
    E2E_CHECK(!app.BoxOpen());
}

// A single action clicked in a pause runs there and then, its line between the sequence's; the
// log cleared in a pause takes the sequence's next line at position 0.
E2E_TEST(one_click_pauses_run_single_actions_and_clear_log) {
    App app(WithRecorders());
    ToolCopy related(L"sleeper.exe", app.Directory() + L"\\rundll32.exe");

    AskForRepair(app).Press(IDYES);
    WaitForLines(app, 1);
    app.Click(kCommand2);
    E2E_CHECK(WaitUntil(
        [&] { return app.StatusText(kStatus) == L"已清除相关进程,您可尝试移除移动设备..."; },
        5000));
    E2E_CHECK(related.WaitForExit(3000));
    E2E_CHECK_EQ(e2e::LogMessages(app.LogLines()),
                 (std::vector<std::wstring>{L"正进行一键强力修复...", L"已清除相关进程..."}));
    E2E_CHECK_EQ(app.LogSelection(), 1);
    E2E_CHECK(!app.Enabled(kCommand4));

    WaitForLines(app, 3);
    E2E_CHECK_EQ(e2e::LogMessages(app.LogLines()),
                 (std::vector<std::wstring>{L"正进行一键强力修复...", L"已清除相关进程...",
                                            L"已清空剪贴板..."}));
    E2E_CHECK_EQ(app.LogSelection(), 2);

    app.Menu(kMenuQk);
    E2E_CHECK(WaitUntil(
        [&] { return app.LogLines().empty() && app.StatusText(kStatus) == L"已清空日志..."; },
        1500));
    WaitForLines(app, 1);
    E2E_CHECK_EQ(e2e::LogMessages(app.LogLines()), std::vector<std::wstring>{L"已清除相关进程..."});
    E2E_CHECK_EQ(app.LogSelection(), 0);

    WaitForRepairEnd(app);
    E2E_CHECK_EQ(e2e::LogMessages(app.LogLines()),
                 std::vector<std::wstring>(kSequence.begin() + 2, kSequence.end()));
    E2E_CHECK_EQ(app.LogSelection(), 4);
    E2E_CHECK_EQ(app.StatusText(kStatus), std::wstring(L"已清空日志..."));
}

// The close question asked in a pause holds the sequence until it is answered. No goes on; Yes
// after the shell was ended starts the shell again and ends the program, with no dialog.
E2E_TEST(one_click_close_no_continues_yes_restores_the_shell) {
    App app(WithRecorders());
    AskForRepair(app).Press(IDYES);
    WaitForLines(app, 1);

    app.Close();
    Box question = app.WaitForBox();
    E2E_CHECK_EQ(question.Text(), std::wstring(L"是否确定退出软件?"));
    Sleep(2500);  // past the pause's end: the open question holds the sequence
    E2E_CHECK_EQ(app.LogLines().size(), 1u);
    question.Press(IDNO);
    WaitForLines(app, 2, 3000);
    E2E_CHECK_EQ(e2e::LogMessages(app.LogLines()),
                 (std::vector<std::wstring>{L"正进行一键强力修复...", L"已清空剪贴板..."}));

    // In the pause after the shell was ended.
    WaitForLines(app, 4);
    E2E_CHECK_EQ(e2e::LogMessage(app.LogLines()[3]), std::wstring(L"已清除Explorer,正在重启..."));
    E2E_CHECK(e2e::RecorderLog(app.Directory()).empty());
    app.Close();
    question = app.WaitForBox();
    E2E_CHECK_EQ(question.Text(), std::wstring(L"是否确定退出软件?"));
    question.Press(IDYES);
    E2E_CHECK(app.WaitForExit(5000));
    E2E_CHECK_EQ(app.ExitCode(), 0ul);

    E2E_CHECK(WaitUntil([&] { return !e2e::RecorderLog(app.Directory()).empty(); }, 5000));
    Sleep(1500);  // a dialog would have been started by now
    const std::vector<e2e::Recorded> started = e2e::RecorderLog(app.Directory());
    E2E_CHECK_EQ(started.size(), 1u);
    E2E_CHECK_EQ(started[0].exe, std::wstring(L"explorer.exe"));
    E2E_CHECK_EQ(started[0].show, std::wstring(L"2"));
}

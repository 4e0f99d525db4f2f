// What only the whole program shows: the real varnel-unplug.exe under Wine, worked from another
// process as a user would. Everything else is tested in cheaper tiers (tests/unit, tests/window,
// tests/services).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace e2e {
namespace {

const std::wstring kOfferNewer = L"发现最新版本3.1.0\xFF0C是否现在更新?";

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

// What the driver saw at one moment of a run; `before` and `after` bracket the reads.
struct Sample {
    ULONGLONG before;
    size_t lines;
    bool command4Enabled;
    size_t starts;
    ULONGLONG after;
};

// Reddish or greenish pixels: what an icon in the caption would bring.
int IconLikePixels(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    const LONG top = frame.top + GetSystemMetrics(SM_CYFRAME);
    int count = 0;
    for (const COLORREF c : ScreenPixels(
             {frame.left + 2, top, frame.left + 22, top + GetSystemMetrics(SM_CYCAPTION) - 2})) {
        const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
        if ((r > g + 60 && r > b + 60) || (g > r + 60 && g > b + 60))
            ++count;
    }
    return count;
}

SIZE ClientSize(const App& app) {
    RECT client{};
    GetClientRect(app.Main(), &client);
    return {client.right - client.left, client.bottom - client.top};
}

// Where a control lies in the main window's client area.
RECT ControlRect(const App& app, int id) {
    RECT rect{};
    GetWindowRect(app.Control(id), &rect);
    MapWindowPoints(nullptr, app.Main(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Sets the desktop's DPI for programs started from now on, and puts the old value back.
class DesktopDpi {
public:
    explicit DesktopDpi(DWORD dpi) {
        DWORD size = sizeof(old_);
        hadOld_ = RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels",
                               RRF_RT_REG_DWORD, nullptr, &old_, &size) == ERROR_SUCCESS;
        Set(dpi);
    }
    ~DesktopDpi() {
        if (hadOld_) {
            Set(old_);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
        }
    }

private:
    static void Set(DWORD dpi) {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi,
                        sizeof(dpi));
    }
    DWORD old_ = 96;
    bool hadOld_ = false;
};

// The check starts by itself a second after start; the driver times everything from just before
// the program is started, on the tick count and on the wall clock the service records with.
struct Moment {
    ULONGLONG tick = GetTickCount64();
    double unixSeconds = UnixSeconds();

    static double UnixSeconds() {
        FILETIME now{};
        GetSystemTimePreciseAsFileTime(&now);
        const ULONGLONG ticks =
            (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        return static_cast<double>(ticks - 116444736000000000ULL) / 1e7;
    }
    ULONGLONG ElapsedMs() const { return GetTickCount64() - tick; }
};

// The update question for version 3.1.0, with the buttons still off behind it.
Box ExpectUpdateOffer(const App& app) {
    const Box box = app.WaitForBoxSaying(kOfferNewer, 15000);
    E2E_CHECK_EQ(box.Title(), kBoxTitle);
    E2E_CHECK(box.HasButton(IDYES) && box.HasButton(IDNO));
    E2E_CHECK(!box.HasButton(IDOK) && !box.HasButton(IDCANCEL));
    E2E_CHECK(!app.AnyButtonEnabled());
    return box;
}

// After an answer that ends the program: it ends without another box and without ever enabling
// a button.
void ExpectEndsAtOnce(const App& app) {
    bool enabled = false, boxed = false;
    const bool ended = WaitUntil(
        [&] {
            enabled = enabled || app.AnyButtonEnabled();
            boxed = boxed || app.BoxOpen();
            return !app.Running();
        },
        5000, 5);
    E2E_CHECK(ended);
    E2E_CHECK(!enabled);
    E2E_CHECK(!boxed);
}

// While the exchange runs the window answers within 500 ms every time it is asked, and its
// menus work; the buttons stay off. Returns once the service has the request and `forMs` passed.
void ExpectAliveDuringCheck(const App& app, DWORD forMs) {
    E2E_CHECK(WaitUntil([] { return !ServiceRequests().empty(); }, 5000));
    const ULONGLONG end = GetTickCount64() + forMs;
    DWORD slowest = 0;
    while (GetTickCount64() < end) {
        slowest = std::max(slowest, app.RoundTripMs());
        Sleep(100);
    }
    std::printf("slowest WM_NULL round trip during the check: %lu ms\n", slowest);
    E2E_CHECK(slowest < 500);
    E2E_CHECK(!app.AnyButtonEnabled());
}

}  // namespace

// At 144 DPI the program starts to the greeting, every size grown by half (the layout is in
// twips), no icon in the caption, and its file carries its icon images and version.
E2E_TEST(starts_at_144_dpi_to_the_greeting) {
    DesktopDpi dpi(144);
    App app;
    E2E_CHECK_EQ(app.Caption(), L"Varnel解决U盘无法拔出工具 V3.0.0");
    E2E_CHECK_EQ(app.StatusText(kMessagePanel), L"当前软件为最新版本,欢迎使用Varnel软件..");
    E2E_CHECK_EQ(ClientSize(app).cx, 896L);
    E2E_CHECK_EQ(ClientSize(app).cy, 843L);
    const RECT button = ControlRect(app, kCommand4);
    E2E_CHECK_EQ(button.left, 564L);
    E2E_CHECK_EQ(button.right, 866L);  // (5640 + 3015) twips, edges rounded
    // The font follows: a line of the log list is taller than at 96 DPI (about 13-16 pixels).
    E2E_CHECK(SendMessageW(app.Control(kList1), LB_GETITEMHEIGHT, 0, 0) >= 20);
    E2E_CHECK_EQ(IconLikePixels(app.Main()), 0);
    Screenshot(L"144dpi");

    const std::wstring program = BuildDirectory() + L"\\varnel-unplug.exe";
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    E2E_CHECK(module != nullptr);
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
    E2E_CHECK(group != nullptr);
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct GroupHeader {
        WORD reserved, type, count;
    };
#pragma pack(pop)
    const auto* header = static_cast<const GroupHeader*>(LockResource(LoadResource(module, group)));
    E2E_CHECK(header != nullptr);
    E2E_CHECK_EQ(header->count, 9);
    std::vector<std::pair<int, int>> images;
    const auto* entries = reinterpret_cast<const GroupEntry*>(header + 1);
    for (WORD i = 0; i < header->count; ++i)
        images.emplace_back(entries[i].width, entries[i].bitCount);
    std::sort(images.begin(), images.end());
    const std::vector<std::pair<int, int>> expected = {
        {16, 4}, {16, 8}, {16, 32}, {32, 4}, {32, 8}, {32, 32}, {48, 4}, {48, 8}, {48, 32}};
    E2E_CHECK(images == expected);
    FreeLibrary(module);

    DWORD ignored = 0;
    std::vector<BYTE> version(GetFileVersionInfoSizeW(program.c_str(), &ignored));
    E2E_CHECK(!version.empty() &&
              GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(version.size()),
                                  version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    E2E_CHECK(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    E2E_CHECK_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(0, 3)));
    E2E_CHECK_EQ(fixed->dwFileVersionLS, 0ul);
}

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

// Yes opens the download page minimized through the shell and ends the program, even for an
// optional update. A hostile sid stays inside the one quoted address.
E2E_TEST(update_offer_accepted_opens_download_page) {
    App app({.waitReady = false, .recorders = true});
    const Box offer = ExpectUpdateOffer(app);
    offer.Press(IDYES);
    ExpectEndsAtOnce(app);

    WaitUntil([&] { return !RecorderLog(app.Directory()).empty(); }, 10000);
    Sleep(500);  // a second start, had there been one, would have logged by now
    const std::vector<Recorded> started = RecorderLog(app.Directory());
    E2E_CHECK_EQ(started.size(), 1u);
    E2E_CHECK_EQ(started[0].Summary(),
                 L"%windir%\\explorer.exe show=2 "
                 L"args=\"https://www.varnel.example/index.php/Works/detail/sid/"
                 L"1%22%20%2Fselect%2CC%3A%5Cx\"");
}

// While the service never answers, the window keeps answering and its menus work; a close asks,
// No waits on, Yes ends the program at once.
E2E_TEST(window_answers_while_the_service_never_answers) {
    App app({.waitReady = false});
    ExpectAliveDuringCheck(app, 1500);
    app.Menu(kMenuUse);
    app.WaitForBox().Press(IDOK);
    app.Close();
    app.WaitForBoxSaying(kCloseQuestion).Press(IDNO);
    ExpectAliveDuringCheck(app, 1000);
    app.Close();
    app.WaitForBoxSaying(kCloseQuestion).Press(IDYES);
    E2E_CHECK(app.WaitForExit(2000));
}

}  // namespace e2e

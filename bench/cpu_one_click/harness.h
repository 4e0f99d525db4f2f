// The CPU benchmark's driver toolkit: start the real program in a folder of its own, find its
// window and controls, read what the user would read, click, choose menus, answer boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// A failed expectation ends the test: thrown, caught by the driver's main.
struct Failure {
    std::string message;
};

std::string Narrow(const std::wstring& text);  // UTF-16 to UTF-8
std::wstring Widen(const std::string& text);   // UTF-8 to UTF-16

[[noreturn]] void Fail(const std::string& message, const char* file, int line);

#define E2E_CHECK(condition)                             \
    do {                                                 \
        if (!(condition))                                \
            ::e2e::Fail(#condition, __FILE__, __LINE__); \
    } while (0)

#define E2E_CHECK_EQ(actual, expected)                                                          \
    do {                                                                                        \
        const auto& e2e_a = (actual);                                                           \
        const auto& e2e_e = (expected);                                                         \
        if (!(e2e_a == e2e_e)) {                                                                \
            std::ostringstream e2e_s;                                                           \
            e2e_s << #actual << " == " << #expected << "\n    actual:   " << ::e2e::Show(e2e_a) \
                  << "\n    expected: " << ::e2e::Show(e2e_e);                                  \
            ::e2e::Fail(e2e_s.str(), __FILE__, __LINE__);                                       \
        }                                                                                       \
    } while (0)

using Lines = std::vector<std::wstring>;

inline std::string Show(const std::wstring& s) {
    return "\"" + Narrow(s) + "\"";
}
inline std::string Show(const wchar_t* s) {
    return Show(std::wstring(s));
}
inline std::string Show(const Lines& lines) {
    std::string shown = "{";
    for (const std::wstring& line : lines)
        shown += (shown.size() > 1 ? ", " : "") + Show(line);
    return shown + "}";
}
template <typename T>
std::string Show(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// Registration of tests: E2E_TEST(name) { ... }; the driver runs the one its argument names.
using TestFunction = void (*)();
struct Registrar {
    Registrar(const char* name, TestFunction function);
};
#define E2E_TEST(name)                                               \
    static void e2e_test_##name();                                   \
    static ::e2e::Registrar e2e_reg_##name(#name, &e2e_test_##name); \
    static void e2e_test_##name()

// The main window's controls and menu items, by id.
constexpr int kFrame1 = 100, kCommand1 = 101, kCommand2 = 102, kCommand3 = 103, kCommand4 = 104,
              kCommand5 = 105, kFrame2 = 106, kS1 = 107, kLabel1 = 108, kList1 = 109;

constexpr int kMenuUse = 201;
constexpr int kButtons[] = {kCommand1, kCommand2, kCommand3, kCommand4, kCommand5};
constexpr int kMessagePanel = 2;  // of the status bar, counted from 1

// Texts the user meets in more than one area.
inline const std::wstring kBoxTitle = L"提示";
inline const std::wstring kCloseQuestion = L"是否确定退出软件?";

// Polls until the condition holds or the time is up; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 20);

// Files.
std::wstring BuildDirectory();                        // the folder above the driver's own
std::string ReadFileBytes(const std::wstring& path);  // empty if missing; shared with writers
std::wstring ReadTextFile(const std::wstring& path);  // UTF-8 file as UTF-16; empty if missing
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

// Colours of a screen area, row by row from the top.
std::vector<COLORREF> ScreenPixels(const RECT& area);
// Saves the whole screen as e2e/shots/<test>-<suffix>.bmp (converted to PNG after the test).
void Screenshot(const std::wstring& suffix);

// Processes.
bool AnyRunning(const std::vector<DWORD>& pids);
std::vector<DWORD> ProcessesNamedAnyCase(const std::wstring& imageName);

// A program started in a folder, ended when the object goes unless it has ended before. The full
// path is the application name, so a copy with any extension starts.
class Process {
public:
    Process(const std::wstring& path, const std::wstring& directory);
    Process(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process& operator=(Process&&) = delete;
    ~Process();

    DWORD Pid() const { return pid_; }
    bool Running() const;
    bool WaitForExit(DWORD timeoutMs) const;
    DWORD ExitCode() const;  // STILL_ACTIVE while it runs

private:
    HANDLE handle_ = nullptr;
    DWORD pid_ = 0;
};

// A copy of a test program (from build/tools) started as `path`, folders made as needed.
class ToolCopy : public Process {
public:
    ToolCopy(const std::wstring& tool, const std::wstring& path);
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// One start of a recorder copy, as read back from recorder.log in its folder. A line still being
// written is not read yet.
struct Recorded {
    std::wstring path;  // its full path
    std::wstring exe;   // its file name
    std::wstring show;  // wShowWindow, or "none"
    std::wstring args;  // the command line after the program's name
    std::wstring commandLine;

    // "<path> show=<show> args=<args>", the Windows folder at the path's head written as
    // %windir%: one text to compare a start by, where it ran from included.
    std::wstring Summary() const;
};
std::vector<Recorded> RecorderLog(const std::wstring& directory);

// One request the stand-in version service received in this test (session.sh records them).
struct Request {
    std::string method;
    std::string path;
    std::string body;
};
std::vector<Request> ServiceRequests();  // in order

// The clipboard as another program uses it: text put there by a window of the driver's own.
void PutClipboardText(const std::wstring& text);

// A log line "[ <time> ]<message>": returns the message once the time text has been found to be
// the user's long time format of a moment within the last `seconds` seconds; fails the test
// otherwise.
std::wstring LogMessage(const std::wstring& line, int seconds = 60);

// A top-level message box (#32770) of the process, visible.
struct Box {
    HWND window = nullptr;
    std::wstring Text() const;
    std::wstring Title() const;
    bool HasButton(int id) const;
    void Press(int id) const;  // IDOK, IDYES, IDNO
};

// A file of the Wine prefix moved aside (to "<path>.e2e") for the life of the object, and put
// back after; with a tool given, a copy of that test program stands in its place meanwhile.
class SwappedFile {
public:
    explicit SwappedFile(std::wstring path, const std::wstring& standIn = L"");
    ~SwappedFile();
    SwappedFile(const SwappedFile&) = delete;
    SwappedFile& operator=(const SwappedFile&) = delete;

    // Puts back a file an earlier, interrupted test left aside.
    static void Restore(const std::wstring& path);

private:
    std::wstring path_;
};

// The program under test, started from a copy in the test's scenario folder
// (build/<preset>/e2e/run/<test>, made empty first).
class App {
public:
    struct Options {
        bool waitReady = true;  // wait until the start-up check has enabled the buttons
        // Recorders in place of the system's explorer.exe and rundll32.exe while the app lives;
        // they log to recorder.log in the scenario folder.
        bool recorders = false;
    };
    App() : App(Options{}) {}
    explicit App(const Options& options);
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    const std::wstring& Directory() const { return directory_; }
    DWORD Pid() const { return process_.Pid(); }
    HWND Main() const { return main_; }
    HWND Control(int id) const { return GetDlgItem(main_, id); }
    bool Running() const { return process_.Running(); }
    bool WaitForExit(DWORD timeoutMs) const { return process_.WaitForExit(timeoutMs); }
    DWORD ExitCode() const { return process_.ExitCode(); }

    // What the user sees.
    std::wstring Caption() const;
    std::wstring ControlText(int id) const;
    bool Enabled(int id) const;
    bool AnyButtonEnabled() const;             // of Command1..Command5
    std::wstring StatusText(int panel) const;  // panels count from 1
    Lines LogLines() const;
    Lines LogMessages() const;  // the lines' messages, each line's time checked by LogMessage
    int LogSelection() const;

    // What the user does. Click fails the test when the button is disabled.
    void Click(int id) const;
    void Menu(int id) const;
    void Close() const;  // the close box: WM_SYSCOMMAND SC_CLOSE
    Box WaitForBox(DWORD timeoutMs = 5000) const;
    Box WaitForBoxSaying(const std::wstring& text, DWORD timeoutMs = 5000) const;  // or fails
    bool BoxOpen() const;
    // How long the window took to answer a WM_NULL sent to it; a hung window counts as the whole
    // limit.
    DWORD RoundTripMs(DWORD limitMs = 2000) const;
    // Waits until the buttons are enabled: the start-up check is over.
    void WaitReady(DWORD timeoutMs = 15000) const;

private:
    std::wstring directory_;
    std::vector<std::unique_ptr<SwappedFile>> recorders_;
    Process process_;
    HWND main_ = nullptr;
};

}  // namespace e2e

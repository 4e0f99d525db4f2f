// The end-to-end driver's toolkit: start the real program in a folder of its own, find its
// window and controls, read what the user would read, click, choose menus, answer boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace e2e {

// A failed expectation ends the test: thrown, caught by the driver's main.
struct Failure {
    std::string message;
};

std::string Narrow(const std::wstring& text);

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

inline std::string Show(const std::wstring& s) {
    return "\"" + Narrow(s) + "\"";
}
inline std::string Show(const wchar_t* s) {
    return Show(std::wstring(s));
}
inline std::string Show(const std::vector<std::wstring>& lines) {
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

// Registration of tests: E2E_TEST(name) { ... } at the start of a line (CMake reads these).
using TestFunction = void (*)();
struct Registrar {
    Registrar(const char* name, TestFunction function);
};
#define E2E_TEST(name)                                               \
    static void e2e_test_##name();                                   \
    static ::e2e::Registrar e2e_reg_##name(#name, &e2e_test_##name); \
    static void e2e_test_##name()

// Polls until the condition holds or the time is up; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 20);

// Paths.
std::wstring DriverDirectory();                     // build/windows/tools
std::wstring BuildDirectory();                      // build/windows
std::wstring ScenarioDirectory();                   // build/windows/e2e/run/<test>, made empty
std::wstring ShotPath(const std::wstring& suffix);  // build/windows/e2e/shots/<test>-<suffix>.bmp
std::wstring CurrentTestName();
void CopyTool(const std::wstring& tool, const std::wstring& directory, const std::wstring& as);
std::wstring ReadTextFile(const std::wstring& path);  // UTF-8 file as UTF-16; empty if missing

// Saves the whole screen as a BMP (converted to PNG after the test).
void Screenshot(const std::wstring& suffix);

// Processes.
DWORD StartProgram(const std::wstring& path, const std::wstring& arguments = L"");
bool ProcessRunning(DWORD pid);
std::vector<DWORD> ProcessesNamed(const std::wstring& imageName);  // exact, case-sensitive

std::vector<DWORD> ProcessesNamedAnyCase(const std::wstring& imageName);

// A copy of a test program (from the driver's folder) started as `path`, folders made as needed.
// The full path is the application name, so a copy with any extension starts. The copy is ended
// when the object goes, unless it has ended before.
class ToolCopy {
public:
    ToolCopy(const std::wstring& tool, const std::wstring& path);
    ToolCopy(ToolCopy&& other) noexcept;
    ToolCopy(const ToolCopy&) = delete;
    ToolCopy& operator=(const ToolCopy&) = delete;
    ToolCopy& operator=(ToolCopy&&) = delete;
    ~ToolCopy();

    const std::wstring& Path() const { return path_; }
    DWORD Pid() const { return pid_; }
    bool Running() const;
    bool WaitForExit(DWORD timeoutMs) const;

private:
    std::wstring path_;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// One start of a recorder copy, as read back from recorder.log in its folder.
struct Recorded {
    std::wstring exe;   // its file name
    std::wstring show;  // wShowWindow, or "none"
    std::wstring args;  // the command line after the program's name
    std::wstring commandLine;
};
std::vector<Recorded> RecorderLog(const std::wstring& directory);

// The clipboard as another program uses it: text put there by a window of the driver's own.
void PutClipboardText(const std::wstring& text);
int ClipboardFormats();

// A log line "[ <time> ]<message>": returns the message once the time text has been found to be
// the user's long time format of a moment within the last `seconds` seconds; fails the test
// otherwise.
std::wstring LogMessage(const std::wstring& line, int seconds = 60);
std::vector<std::wstring> LogMessages(const std::vector<std::wstring>& lines, int seconds = 60);

// A top-level message box (#32770) of the process, visible.
struct Box {
    HWND window = nullptr;
    std::wstring Text() const;
    std::wstring Title() const;
    bool HasButton(int id) const;
    void Press(int id) const;  // IDOK, IDYES, IDNO
};

// The program under test, started from a copy in the test's scenario folder.
class App {
public:
    struct Options {
        bool copyProgram = true;  // else run the build's own copy
        bool waitReady = true;    // wait until the start-up check has enabled the buttons
        // Test programs put beside the program before it starts: {tool exe, name to give it}.
        std::vector<std::pair<std::wstring, std::wstring>> beside;
    };
    App() : App(Options{}) {}
    explicit App(const Options& options);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    const std::wstring& Directory() const { return directory_; }
    DWORD Pid() const { return process_.dwProcessId; }
    HWND Main() const { return main_; }
    HWND Control(int id) const { return GetDlgItem(main_, id); }
    bool Running() const;
    bool WaitForExit(DWORD timeoutMs) const;
    DWORD ExitCode() const;  // STILL_ACTIVE while it runs

    // What the user sees.
    std::wstring Caption() const;
    std::wstring ControlText(int id) const;
    bool Enabled(int id) const;
    std::wstring StatusText(int panel) const;  // panels count from 1
    std::vector<std::wstring> LogLines() const;
    int LogSelection() const;

    // What the user does. Click fails the test when the button is disabled.
    void Click(int id) const;
    void Menu(int id) const;
    void Close() const;  // the close box: WM_SYSCOMMAND SC_CLOSE
    Box WaitForBox(DWORD timeoutMs = 5000) const;
    bool BoxOpen() const;
    // Waits until the buttons are enabled: the start-up check is over.
    void WaitReady(DWORD timeoutMs = 15000) const;

private:
    std::wstring directory_;
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

}  // namespace e2e

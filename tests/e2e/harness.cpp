#include "harness.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace e2e {

namespace {

std::map<std::string, TestFunction>& Registry() {
    static std::map<std::string, TestFunction> tests;
    return tests;
}

std::wstring g_testName;

std::wstring Widen(const std::string& text) {
    if (text.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::wstring Parent(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(0, slash);
}

void RemoveTree(const std::wstring& directory) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = directory + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(directory.c_str());
}

struct FindContext {
    DWORD pid;
    std::wstring className;
    HWND found = nullptr;
};

BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM param) {
    auto* context = reinterpret_cast<FindContext*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (pid == context->pid && IsWindowVisible(window) && context->className == className) {
        context->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevel(DWORD pid, const std::wstring& className) {
    FindContext context{pid, className};
    EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&context));
    return context.found;
}

}  // namespace

std::string Narrow(const std::wstring& text) {
    if (text.empty())
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
    return narrow;
}

void Fail(const std::string& message, const char* file, int line) {
    throw Failure{std::string(file) + ":" + std::to_string(line) + ": " + message};
}

Registrar::Registrar(const char* name, TestFunction function) {
    Registry()[name] = function;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(stepMs);
    }
}

std::wstring DriverDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return Parent(path);
}

std::wstring BuildDirectory() {
    return Parent(DriverDirectory());
}

std::wstring CurrentTestName() {
    return g_testName;
}

std::wstring ScenarioDirectory() {
    const std::wstring base = BuildDirectory() + L"\\e2e\\run";
    CreateDirectoryW((BuildDirectory() + L"\\e2e").c_str(), nullptr);
    CreateDirectoryW(base.c_str(), nullptr);
    const std::wstring directory = base + L"\\" + g_testName;
    RemoveTree(directory);
    CreateDirectoryW(directory.c_str(), nullptr);
    return directory;
}

std::wstring ShotPath(const std::wstring& suffix) {
    return BuildDirectory() + L"\\e2e\\shots\\" + g_testName + L"-" + suffix + L".bmp";
}

void CopyTool(const std::wstring& tool, const std::wstring& directory, const std::wstring& as) {
    const std::wstring from = DriverDirectory() + L"\\" + tool;
    const std::wstring to = directory + L"\\" + as;
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        throw Failure{"cannot copy " + Narrow(from) + " to " + Narrow(to)};
    }
}

std::wstring ReadTextFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return Widen(bytes);
}

void Screenshot(const std::wstring& suffix) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
    const DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER fileHeader{
        0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0,
        0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    CreateDirectoryW((BuildDirectory() + L"\\e2e\\shots").c_str(), nullptr);
    HANDLE file =
        CreateFileW(ShotPath(suffix).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, &fileHeader, sizeof(fileHeader), &written, nullptr);
        WriteFile(file, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr);
        WriteFile(file, bits, size, &written, nullptr);
        CloseHandle(file);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

DWORD StartProgram(const std::wstring& path, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + path + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        Parent(path).c_str(), &startup, &process)) {
        throw Failure{"cannot start " + Narrow(path) + " (error " + std::to_string(GetLastError()) +
                      ")"};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return process.dwProcessId;
}

bool ProcessRunning(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr)
        return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& imageName) {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (imageName == entry.szExeFile)
            pids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return pids;
}

std::vector<DWORD> ProcessesNamedAnyCase(const std::wstring& imageName) {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (CompareStringOrdinal(imageName.c_str(), -1, entry.szExeFile, -1, TRUE) == CSTR_EQUAL)
            pids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return pids;
}

ToolCopy::ToolCopy(const std::wstring& tool, const std::wstring& path) : path_(path) {
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1)) {
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    }
    const std::wstring from = DriverDirectory() + L"\\" + tool;
    if (!CopyFileW(from.c_str(), path.c_str(), FALSE)) {
        throw Failure{"cannot copy " + Narrow(from) + " to " + Narrow(path)};
    }
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        Parent(path).c_str(), &startup, &started)) {
        throw Failure{"cannot start " + Narrow(path) + " (error " + std::to_string(GetLastError()) +
                      ")"};
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    pid_ = started.dwProcessId;
}

ToolCopy::ToolCopy(ToolCopy&& other) noexcept
    : path_(std::move(other.path_)), process_(other.process_), pid_(other.pid_) {
    other.process_ = nullptr;
}

ToolCopy::~ToolCopy() {
    if (process_ == nullptr)
        return;
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool ToolCopy::Running() const {
    return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool ToolCopy::WaitForExit(DWORD timeoutMs) const {
    return WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

std::vector<Recorded> RecorderLog(const std::wstring& directory) {
    std::vector<Recorded> starts;
    const std::wstring text = ReadTextFile(directory + L"\\recorder.log");
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find(L"\r\n", begin);
        if (end == std::wstring::npos)
            break;  // a line still being written
        const std::wstring line = text.substr(begin, end - begin);
        begin = end + 2;
        Recorded start;
        size_t field = 0;
        while (field <= line.size()) {
            size_t tab = line.find(L'\t', field);
            if (tab == std::wstring::npos)
                tab = line.size();
            const std::wstring item = line.substr(field, tab - field);
            const size_t equals = item.find(L'=');
            const std::wstring key = item.substr(0, equals);
            const std::wstring value =
                equals == std::wstring::npos ? std::wstring() : item.substr(equals + 1);
            if (key == L"exe")
                start.exe = value;
            else if (key == L"show")
                start.show = value;
            else if (key == L"args")
                start.args = value;
            else if (key == L"cmdline")
                start.commandLine = value;
            field = tab + 1;
        }
        starts.push_back(start);
    }
    return starts;
}

void PutClipboardText(const std::wstring& text) {
    // Opened for a window of our own: text set with no owner would be refused. The window goes
    // at once, so nobody has to send it WM_DESTROYCLIPBOARD later; the text stays.
    const HWND owner =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!WaitUntil([owner] { return OpenClipboard(owner) != FALSE; }, 2000)) {
        DestroyWindow(owner);
        throw Failure{"the driver cannot open the clipboard"};
    }
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    const bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    DestroyWindow(owner);
    if (!set)
        throw Failure{"the driver cannot put text on the clipboard"};
}

int ClipboardFormats() {
    return CountClipboardFormats();
}

std::wstring LogMessage(const std::wstring& line, int seconds) {
    const size_t close = line.find(L" ]");
    if (line.rfind(L"[ ", 0) != 0 || close == std::wstring::npos)
        throw Failure{"not a log line: \"" + Narrow(line) + "\""};
    const std::wstring time = line.substr(2, close - 2);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER tick{};
    tick.LowPart = now.dwLowDateTime;
    tick.HighPart = now.dwHighDateTime;
    constexpr ULONGLONG kSecond = 10'000'000;
    for (int back = -1; back <= seconds; ++back) {
        ULARGE_INTEGER at = tick;
        at.QuadPart -= static_cast<ULONGLONG>(back) * kSecond;
        FILETIME utc{at.LowPart, at.HighPart}, local{};
        SYSTEMTIME moment{};
        FileTimeToLocalFileTime(&utc, &local);
        FileTimeToSystemTime(&local, &moment);
        wchar_t text[128] = {};
        GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &moment, nullptr, text, 128);
        if (time == text)
            return line.substr(close + 2);
    }
    throw Failure{"the log line's time is not the long time of the last " +
                  std::to_string(seconds) + " s: \"" + Narrow(line) + "\""};
}

std::vector<std::wstring> LogMessages(const std::vector<std::wstring>& lines, int seconds) {
    std::vector<std::wstring> messages;
    for (const std::wstring& line : lines)
        messages.push_back(LogMessage(line, seconds));
    return messages;
}

std::wstring Box::Text() const {
    wchar_t text[4096] = {};
    GetDlgItemTextW(window, 0xFFFF, text, 4096);
    return text;
}

std::wstring Box::Title() const {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

bool Box::HasButton(int id) const {
    HWND button = GetDlgItem(window, id);
    return button != nullptr && IsWindowVisible(button);
}

void Box::Press(int id) const {
    HWND button = GetDlgItem(window, id);
    if (button == nullptr)
        throw Failure{"the message box has no button " + std::to_string(id)};
    PostMessageW(button, BM_CLICK, 0, 0);
    const HWND box = window;
    if (!WaitUntil([box] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000)) {
        throw Failure{"the message box stayed open after a button was pressed"};
    }
}

App::App(const Options& options) {
    const std::wstring program = BuildDirectory() + L"\\varnel-unplug.exe";
    directory_ = ScenarioDirectory();
    std::wstring path = program;
    if (options.copyProgram) {
        path = directory_ + L"\\varnel-unplug.exe";
        CopyFileW(program.c_str(), path.c_str(), FALSE);
    }
    for (const auto& [tool, name] : options.beside) {
        CopyTool(tool, directory_, name);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory_.c_str(), &startup, &process_)) {
        throw Failure{"cannot start the program (error " + std::to_string(GetLastError()) + ")"};
    }
    const DWORD pid = process_.dwProcessId;
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopLevel(pid, L"VarnelUnplugForm1")) != nullptr; }, 15000);
    if (found == nullptr)
        throw Failure{"the main window did not appear within 15 s"};
    main_ = found;
    if (options.waitReady) {
        WaitReady();
    }
}

App::~App() {
    if (Running()) {
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool App::Running() const {
    return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool App::WaitForExit(DWORD timeoutMs) const {
    return WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD App::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::wstring App::Caption() const {
    wchar_t text[512] = {};
    GetWindowTextW(main_, text, 512);
    return text;
}

std::wstring App::ControlText(int id) const {
    wchar_t text[4096] = {};
    GetWindowTextW(Control(id), text, 4096);
    return text;
}

bool App::Enabled(int id) const {
    return IsWindowEnabled(Control(id)) != FALSE;
}

std::wstring App::StatusText(int panel) const {
    // SB_GETTEXTW carries a pointer: the buffer has to live in the program's process.
    HWND bar = Control(107);
    const WPARAM part = static_cast<WPARAM>(panel - 1);
    const LRESULT info = SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0);
    const size_t length = LOWORD(info);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, Pid());
    if (process == nullptr)
        throw Failure{"cannot open the program's process"};
    const size_t bytes = (length + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    std::wstring text(length + 1, L'\0');
    SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote));
    SIZE_T read = 0;
    ReadProcessMemory(process, remote, text.data(), bytes, &read);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    text.resize(wcsnlen(text.c_str(), length));
    return text;
}

std::vector<std::wstring> App::LogLines() const {
    HWND list = Control(109);
    std::vector<std::wstring> lines;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring line(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(line.data()));
        line.resize(wcsnlen(line.c_str(), line.size()));
        lines.push_back(line);
    }
    return lines;
}

int App::LogSelection() const {
    return static_cast<int>(SendMessageW(Control(109), LB_GETCURSEL, 0, 0));
}

void App::Click(int id) const {
    if (!Enabled(id)) {
        throw Failure{"button " + std::to_string(id) + " is disabled: a user could not click it"};
    }
    PostMessageW(Control(id), BM_CLICK, 0, 0);
}

void App::Menu(int id) const {
    PostMessageW(main_, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

void App::Close() const {
    PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool App::BoxOpen() const {
    return FindTopLevel(Pid(), L"#32770") != nullptr;
}

Box App::WaitForBox(DWORD timeoutMs) const {
    HWND box = nullptr;
    const DWORD pid = Pid();
    WaitUntil([&] { return (box = FindTopLevel(pid, L"#32770")) != nullptr; }, timeoutMs);
    if (box == nullptr)
        throw Failure{"no message box appeared"};
    // Let the box finish creating its buttons.
    WaitUntil([&] { return GetDlgItem(box, 0xFFFF) != nullptr; }, 2000);
    return Box{box};
}

void App::WaitReady(DWORD timeoutMs) const {
    if (!WaitUntil([this] { return Enabled(101) && Enabled(105); }, timeoutMs)) {
        throw Failure{"the buttons were not enabled: the start-up check did not finish"};
    }
}

}  // namespace e2e

int wmain(int argc, wchar_t** argv) {
    using e2e::Registry;
    if (argc < 2) {
        for (const auto& [name, function] : Registry())
            std::printf("%s\n", name.c_str());
        return 2;
    }
    const std::string name = e2e::Narrow(argv[1]);
    const auto test = Registry().find(name);
    if (test == Registry().end()) {
        std::printf("no such test: %s\n", name.c_str());
        return 2;
    }
    e2e::g_testName = argv[1];
    try {
        test->second();
    } catch (const e2e::Failure& failure) {
        std::printf("FAILED %s\n  %s\n", name.c_str(), failure.message.c_str());
        std::fflush(stdout);
        return 1;
    }
    std::printf("PASSED %s\n", name.c_str());
    std::fflush(stdout);
    return 0;
}

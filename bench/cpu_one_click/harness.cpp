#include "harness.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <map>

namespace e2e {

namespace {

std::map<std::string, TestFunction>& Registry() {
    static std::map<std::string, TestFunction> tests;
    return tests;
}

std::wstring g_testName;

std::wstring Parent(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(0, slash);
}

// The folder and every folder above it that is missing ("X:\" is never made).
void MakeFolder(const std::wstring& folder) {
    for (size_t slash = folder.find(L'\\', 3); slash != std::wstring::npos;
         slash = folder.find(L'\\', slash + 1)) {
        CreateDirectoryW(folder.substr(0, slash).c_str(), nullptr);
    }
    CreateDirectoryW(folder.c_str(), nullptr);
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

// Copies a file to `to`, folders made as needed; returns `to`.
std::wstring Copy(const std::wstring& from, const std::wstring& to) {
    MakeFolder(Parent(to));
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE))
        throw Failure{"cannot copy " + Narrow(from) + " to " + Narrow(to)};
    return to;
}

// A copy of a test program of build/tools at `to`.
std::wstring CopyTool(const std::wstring& tool, const std::wstring& to) {
    return Copy(BuildDirectory() + L"\\tools\\" + tool, to);
}

// Copies the program into the folder; returns its path there.
std::wstring PlaceProgram(const std::wstring& directory) {
    return Copy(BuildDirectory() + L"\\varnel-unplug.exe", directory + L"\\varnel-unplug.exe");
}

// build/<preset>/e2e/run/<test>, made empty. Recorders started from anywhere log there.
std::wstring ScenarioDirectory() {
    const std::wstring directory = BuildDirectory() + L"\\e2e\\run\\" + g_testName;
    RemoveTree(directory);
    MakeFolder(directory);
    SetEnvironmentVariableW(L"VARNEL_RECORDER_LOG", (directory + L"\\recorder.log").c_str());
    return directory;
}

std::wstring Folder(UINT(WINAPI* query)(LPWSTR, UINT)) {
    wchar_t directory[MAX_PATH] = {};
    query(directory, MAX_PATH);
    return directory;
}

// The text of a window; read without a message when it is another process's top-level window.
std::wstring WindowText(HWND window) {
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, 4096);
    return text;
}

// A visible top-level window of the process with that class, and accepted when a test is given.
HWND FindTopLevel(DWORD pid, const std::wstring& className,
                  const std::function<bool(HWND)>& accept = {}) {
    struct Context {
        DWORD pid;
        const std::wstring& className;
        const std::function<bool(HWND)>& accept;
        HWND found = nullptr;
    } context{pid, className, accept};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* wanted = reinterpret_cast<Context*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (owner == wanted->pid && IsWindowVisible(window) && wanted->className == name &&
                (!wanted->accept || wanted->accept(window))) {
                wanted->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&context));
    return context.found;
}

std::vector<DWORD> ProcessesWhere(const std::function<bool(const wchar_t* image)>& matches) {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (matches(entry.szExeFile))
            pids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return pids;
}

// The lines of a text that end in `separator`; a last line without one is still being written.
template <typename Char>
std::vector<std::basic_string<Char>> CompleteLines(const std::basic_string<Char>& text,
                                                   const Char* separator) {
    std::vector<std::basic_string<Char>> lines;
    size_t begin = 0;
    for (size_t end = text.find(separator); end != text.npos; end = text.find(separator, begin)) {
        lines.push_back(text.substr(begin, end - begin));
        begin = end + std::char_traits<Char>::length(separator);
    }
    return lines;
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

std::wstring BuildDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return Parent(Parent(path));
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

std::wstring ReadTextFile(const std::wstring& path) {
    return Widen(ReadFileBytes(path));
}

std::vector<COLORREF> ScreenPixels(const RECT& area) {
    // One copy of the area, read back as 32-bit pixels (0x00RRGGBB): pixel by pixel, each read
    // would be a round trip to the X server.
    const int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> raw(static_cast<size_t>(width) * height);
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), raw.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::vector<COLORREF> pixels;
    for (const DWORD p : raw)
        pixels.push_back(RGB(GetBValue(p), GetGValue(p), GetRValue(p)));
    return pixels;
}

void Screenshot(const std::wstring& suffix) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    // A 32-bit top-down BMP: each pixel blue, green, red and an unused byte.
    std::vector<DWORD> rows;
    for (const COLORREF c : ScreenPixels({0, 0, width, height}))
        rows.push_back(RGB(GetBValue(c), GetGValue(c), GetRValue(c)));
    const DWORD bytes = static_cast<DWORD>(rows.size() * sizeof(DWORD));
    constexpr DWORD kHeaders = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    const BITMAPFILEHEADER fileHeader{0x4D42, kHeaders + bytes, 0, 0, kHeaders};
    const BITMAPINFOHEADER infoHeader{
        sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const std::wstring path =
        BuildDirectory() + L"\\e2e\\shots\\" + g_testName + L"-" + suffix + L".bmp";
    std::string file(reinterpret_cast<const char*>(&fileHeader), sizeof(fileHeader));
    file.append(reinterpret_cast<const char*>(&infoHeader), sizeof(infoHeader));
    file.append(reinterpret_cast<const char*>(rows.data()), bytes);
    MakeFolder(Parent(path));
    WriteFileBytes(path, file);
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool ok =
        file != INVALID_HANDLE_VALUE &&
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!ok)
        throw Failure{"cannot write " + Narrow(path)};
}

bool AnyRunning(const std::vector<DWORD>& pids) {
    return std::any_of(pids.begin(), pids.end(), [](DWORD pid) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        if (process == nullptr)
            return false;
        const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
        CloseHandle(process);
        return running;
    });
}

std::vector<DWORD> ProcessesNamedAnyCase(const std::wstring& imageName) {
    return ProcessesWhere([&](const wchar_t* image) {
        return CompareStringOrdinal(imageName.c_str(), -1, image, -1, TRUE) == CSTR_EQUAL;
    });
}

Process::Process(const std::wstring& path, const std::wstring& directory) {
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.c_str(), &startup, &started)) {
        throw Failure{"cannot start " + Narrow(path) + " (error " + std::to_string(GetLastError()) +
                      ")"};
    }
    CloseHandle(started.hThread);
    handle_ = started.hProcess;
    pid_ = started.dwProcessId;
}

Process::Process(Process&& other) noexcept : handle_(other.handle_), pid_(other.pid_) {
    other.handle_ = nullptr;
}

Process::~Process() {
    if (handle_ == nullptr)
        return;
    if (Running()) {
        TerminateProcess(handle_, 1);
        WaitForSingleObject(handle_, 5000);
    }
    CloseHandle(handle_);
}

bool Process::Running() const {
    return WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs) const {
    return WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(handle_, &code);
    return code;
}

ToolCopy::ToolCopy(const std::wstring& tool, const std::wstring& path)
    : Process(CopyTool(tool, path), Parent(path)), path_(path) {}

std::vector<Recorded> RecorderLog(const std::wstring& directory) {
    std::vector<Recorded> starts;
    for (const std::wstring& line :
         CompleteLines(ReadTextFile(directory + L"\\recorder.log"), L"\r\n")) {
        Recorded start;
        for (const std::wstring& item : CompleteLines(line + L"\t", L"\t")) {
            const size_t equals = item.find(L'=');
            const std::wstring key = item.substr(0, equals);
            const std::wstring value =
                equals == item.npos ? std::wstring() : item.substr(equals + 1);
            if (key == L"path")
                start.path = value;
            else if (key == L"exe")
                start.exe = value;
            else if (key == L"show")
                start.show = value;
            else if (key == L"args")
                start.args = value;
            else if (key == L"cmdline")
                start.commandLine = value;
        }
        starts.push_back(start);
    }
    return starts;
}

std::vector<Request> ServiceRequests() {
    const std::string text =
        ReadFileBytes(BuildDirectory() + L"\\e2e\\service\\" + g_testName + L".requests.jsonl");
    std::vector<Request> requests;
    for (const std::string& line : CompleteLines(text + "\n", "\n")) {
        if (line.empty())
            continue;
        const auto record = nlohmann::json::parse(line, nullptr, false);
        if (record.is_discarded())
            throw Failure{"the service's record holds a line that is not JSON: " + line};
        Request request;
        request.method = record.value("method", "");
        request.path = record.value("path", "");
        request.body = record.value("body", "");
        requests.push_back(std::move(request));
    }
    return requests;
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

std::wstring Box::Text() const {
    return WindowText(GetDlgItem(window, 0xFFFF));
}

std::wstring Box::Title() const {
    return WindowText(window);
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

SwappedFile::SwappedFile(std::wstring path, const std::wstring& standIn) : path_(std::move(path)) {
    Restore(path_);
    if (!MoveFileW(path_.c_str(), (path_ + L".e2e").c_str()))
        throw Failure{"cannot move aside " + Narrow(path_)};
    if (!standIn.empty())
        CopyTool(standIn, path_);
}

SwappedFile::~SwappedFile() {
    Restore(path_);
}

void SwappedFile::Restore(const std::wstring& path) {
    const std::wstring aside = path + L".e2e";
    if (GetFileAttributesW(aside.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    // A stand-in may still be on its way out: try for a moment.
    WaitUntil([&] { return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; },
              5000);
    MoveFileW(aside.c_str(), path.c_str());
}

std::wstring WindowsFolder() {
    return Folder(GetWindowsDirectoryW);
}

std::wstring Recorded::Summary() const {
    const std::wstring windows = WindowsFolder() + L"\\";
    const std::wstring where =
        CompareStringOrdinal(path.c_str(), static_cast<int>(windows.size()), windows.c_str(),
                             static_cast<int>(windows.size()), TRUE) == CSTR_EQUAL
            ? L"%windir%\\" + path.substr(windows.size())
            : path;
    return where + L" show=" + show + L" args=" + args;
}

std::wstring SystemFolder() {
    return Folder(GetSystemDirectoryW);
}
std::wstring ShellPath() {
    return WindowsFolder() + L"\\explorer.exe";
}
std::wstring Rundll32Path() {
    return SystemFolder() + L"\\rundll32.exe";
}

App::App(const Options& options)
    : directory_(ScenarioDirectory()),
      recorders_([&] {
          std::vector<std::unique_ptr<SwappedFile>> swapped;
          if (options.recorders) {
              swapped.push_back(std::make_unique<SwappedFile>(ShellPath(), L"recorder.exe"));
              swapped.push_back(std::make_unique<SwappedFile>(Rundll32Path(), L"recorder.exe"));
          }
          return swapped;
      }()),
      process_(PlaceProgram(directory_), directory_) {
    const DWORD pid = Pid();
    if (!WaitUntil([&] { return (main_ = FindTopLevel(pid, L"VarnelUnplugForm1")) != nullptr; },
                   15000)) {
        throw Failure{"the main window did not appear within 15 s"};
    }
    if (options.waitReady)
        WaitReady();
}

std::wstring App::Caption() const {
    return WindowText(main_);
}

std::wstring App::ControlText(int id) const {
    return WindowText(Control(id));
}

bool App::Enabled(int id) const {
    return IsWindowEnabled(Control(id)) != FALSE;
}

bool App::AnyButtonEnabled() const {
    return std::any_of(std::begin(kButtons), std::end(kButtons),
                       [this](int id) { return Enabled(id); });
}

std::wstring App::StatusText(int panel) const {
    // SB_GETTEXTW carries a pointer: the buffer has to live in the program's process.
    HWND bar = Control(kS1);
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

Lines App::LogLines() const {
    HWND list = Control(kList1);
    Lines lines;
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

Lines App::LogMessages() const {
    Lines messages;
    for (const std::wstring& line : LogLines())
        messages.push_back(LogMessage(line));
    return messages;
}

int App::LogSelection() const {
    return static_cast<int>(SendMessageW(Control(kList1), LB_GETCURSEL, 0, 0));
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

DWORD App::RoundTripMs(DWORD limitMs) const {
    const ULONGLONG start = GetTickCount64();
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, limitMs, &result))
        return limitMs;
    return static_cast<DWORD>(GetTickCount64() - start);
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

Box App::WaitForBoxSaying(const std::wstring& text, DWORD timeoutMs) const {
    // Other boxes of the program may be open beneath the one awaited.
    const DWORD pid = Pid();
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = FindTopLevel(pid, L"#32770", [&](HWND box) { return Box{box}.Text() == text; });
            return found != nullptr;
        },
        timeoutMs);
    if (found == nullptr) {
        const Box open = WaitForBox(0);
        throw Failure{"the box says " + Show(open.Text()) + ", not " + Show(text)};
    }
    WaitUntil([&] { return GetDlgItem(found, IDOK) || GetDlgItem(found, IDYES); }, 2000);
    return Box{found};
}

void App::WaitReady(DWORD timeoutMs) const {
    if (!WaitUntil([this] { return Enabled(kCommand1) && Enabled(kCommand5); }, timeoutMs)) {
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
    // A test that was stopped half-way may have left the prefix's own programs aside.
    e2e::SwappedFile::Restore(e2e::ShellPath());
    e2e::SwappedFile::Restore(e2e::Rundll32Path());
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

namespace e2e {}  // namespace e2e

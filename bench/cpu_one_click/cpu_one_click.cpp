// CPU time of a one-click repair, as a share of one core over the run's wall time, next to the
// same six pauses waited by busy_wait_bench.exe with the old busy loop and with the event wait.
//
// Under Wine, GetProcessTimes of another process does not advance, so CPU time is read from
// Linux: Z:\proc\<pid>\stat, utime + stime in clock ticks. The Linux process of a Windows
// program is the one whose command line starts with the program's Windows path. The wineserver
// answers every PeekMessage, so its CPU over the same span is shown too; bench/cpu_one_click.sh
// writes its pid and the clock tick rate to e2e\bench-wineserver.txt in the build directory.
//
//   cpu_one_click.exe      (run by bench/cpu_one_click.sh)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>

#include "layout/layout.h"
#include "wine_support.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuild = wine_support::BuildFolder();
using wine_support::WaitUntil;

void Need(bool condition, const char* what) {
    if (!condition)
        throw std::runtime_error(what);
}

struct Wineserver {
    unsigned pid = 0;
    double ticksPerSecond = 100;
};

Wineserver ReadWineserver() {
    const fs::path path = kBuild / L"e2e\\bench-wineserver.txt";
    Wineserver server;
    WaitUntil([&] { return !wine_support::ReadBytes(path).empty(); }, 10000, 100);
    std::istringstream(wine_support::ReadBytes(path)) >> server.pid >> server.ticksPerSecond;
    return server;
}

// The Linux process running the Windows program at `path` (0 when none). Under Wine,
// GetProcessTimes of another process does not advance; Linux's /proc does.
unsigned LinuxPidOf(const fs::path& path) {
    unsigned found = 0;
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const unsigned pid = static_cast<unsigned>(std::wcstoul(entry.cFileName, nullptr, 10));
        if (pid == 0)
            continue;
        const std::string commandLine =
            wine_support::ReadBytes(fs::path(L"Z:\\proc\\") / entry.cFileName / L"cmdline");
        if (lstrcmpiA(commandLine.c_str(), path.string().c_str()) == 0)
            found = pid;
    } while (found == 0 && FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

// Its CPU time so far in ms (negative once it has gone).
double LinuxCpuMs(unsigned pid) {
    const std::string stat =
        wine_support::ReadBytes(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\stat");
    const size_t name = stat.rfind(')');
    if (name == std::string::npos)
        return -1;
    // After the name: state, ppid, ... utime is the 12th field, stime the 13th, in the clock
    // ticks of the Linux ABI (100 a second).
    std::istringstream fields(stat.substr(name + 1));
    std::string field;
    double ticks = 0;
    for (int index = 1; index <= 13 && fields >> field; ++index) {
        if (index == 12 || index == 13)
            ticks += std::atof(field.c_str());
    }
    return ticks * 10.0;
}

HWND VisibleBox() {
    const HWND box = FindWindowW(L"#32770", nullptr);
    return box != nullptr && IsWindowVisible(box) ? box : nullptr;
}

struct Figures {
    double wallMs = 0, cpuMs = 0, serverMs = 0;
};

void Print(const char* what, const Figures& figures) {
    std::printf("%-26s wall %6.0f ms  cpu %6.0f ms = %6.2f %%  wineserver %6.0f ms = %6.2f %%\n",
                what, figures.wallMs, figures.cpuMs, 100.0 * figures.cpuMs / figures.wallMs,
                figures.serverMs, 100.0 * figures.serverMs / figures.wallMs);
}

HWND FindVisibleWindow(const wchar_t* caption) {
    HWND window = FindWindowW(nullptr, caption);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

// busy_wait_bench.exe in one mode: from its window's appearing (its pauses start right after)
// until the last reading before it exits. Its own report goes to `report`.
Figures WaitBench(const wchar_t* mode, const fs::path& folder, const Wineserver& server,
                  std::string& report) {
    const std::wstring program = (kBuild / L"bench\\busy_wait_bench.exe").wstring();
    const fs::path output = folder / (std::wstring(mode) + L".txt");
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE file = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    std::wstring commandLine = L"\"" + program + L"\" " + mode;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        throw std::runtime_error("cannot start busy_wait_bench.exe");
    }
    CloseHandle(file);
    CloseHandle(process.hThread);

    unsigned pid = 0;
    WaitUntil([&] { return (pid = LinuxPidOf(program)) != 0; }, 10000, 5);
    WaitUntil([] { return FindVisibleWindow(L"busy_wait_bench") != nullptr; }, 10000, 5);
    const ULONGLONG start = GetTickCount64();
    const double cpuStart = LinuxCpuMs(pid);
    const double serverStart = LinuxCpuMs(server.pid);
    Figures figures;
    while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        const double cpu = LinuxCpuMs(pid);
        const double serverCpu = LinuxCpuMs(server.pid);
        if (cpu < 0)
            break;
        figures = {static_cast<double>(GetTickCount64() - start), cpu - cpuStart,
                   serverCpu - serverStart};
    }
    CloseHandle(process.hProcess);
    report = wine_support::ReadBytes(output);
    return figures;
}

// The program started from a copy in build/<preset>/e2e/run/cpu_one_click, with recorders in
// place of the shell and rundll32.exe, through one one-click repair.
void Run() {
    const Wineserver server = ReadWineserver();
    if (server.pid == 0)
        std::printf("no wineserver pid given: its figures are left out\n");
    const fs::path windows = _wgetenv(L"windir");
    // The recorder (build/tools) in place of the system's programs, so that the repair's starts
    // are logged and nothing real is ended or opened.
    const wine_support::SwappedFile shell(windows / L"explorer.exe", L"recorder.exe"),
        rundll32(windows / L"system32\\rundll32.exe", L"recorder.exe");
    const fs::path folder = kBuild / L"e2e\\run\\cpu_one_click",
                   copy = folder / L"varnel-unplug.exe";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(kBuild / L"varnel-unplug.exe", copy);
    SetEnvironmentVariableW(L"VARNEL_RECORDER_LOG", (folder / L"recorder.log").c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + copy.native() + L"\"";
    Need(CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process),
         "cannot start the program");
    HWND main = nullptr;
    const auto enabled = [&] { return IsWindowEnabled(GetDlgItem(main, varnel::kCommand4)); };
    Need(WaitUntil([&] { return (main = FindWindowW(L"VarnelUnplugForm1", nullptr)) != nullptr; },
                   15000, 20),
         "no main window within 15 s");
    // Without the stand-in service the check fails at once and says so; either way it ends.
    Need(WaitUntil([&] { return VisibleBox() != nullptr || enabled(); }, 15000, 20),
         "the start-up check did not end");
    if (const HWND box = VisibleBox())
        PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    Need(WaitUntil(enabled, 15000, 20), "the buttons stayed off");
    const unsigned pid = LinuxPidOf(copy);
    Need(pid != 0, "the program's Linux process not found");
    Sleep(1000);  // let the start settle

    PostMessageW(main, WM_COMMAND, MAKEWPARAM(varnel::kCommand4, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(main, varnel::kCommand4)));
    HWND question = nullptr;
    Need(WaitUntil([&] { return (question = VisibleBox()) != nullptr; }, 15000, 20),
         "no question box");
    const double cpuStart = LinuxCpuMs(pid), serverStart = LinuxCpuMs(server.pid);
    const ULONGLONG start = GetTickCount64();
    PostMessageW(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
    // Polled slowly and without messages to the program, so the driver costs it nothing.
    const auto starts = [&] {
        const std::string log = wine_support::ReadBytes(folder / L"recorder.log");
        return std::count(log.begin(), log.end(), '\n');
    };
    Need(WaitUntil([&] { return enabled() && starts() == 2; }, 30000, 100),
         "the repair did not end within 30 s");
    const Figures run{static_cast<double>(GetTickCount64() - start), LinuxCpuMs(pid) - cpuStart,
                      LinuxCpuMs(server.pid) - serverStart};
    Need(SendMessageW(GetDlgItem(main, varnel::kList1), LB_GETCOUNT, 0, 0) == 7,
         "the log does not hold the seven lines of a repair");
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    std::string busyReport, eventReport;
    const Figures busy = WaitBench(L"busy", folder, server, busyReport);
    const Figures event = WaitBench(L"event", folder, server, eventReport);

    std::printf("CPU as a share of one core over the wall time (from Z:\\proc):\n");
    Print("one-click run (program)", run);
    Print("busy_wait_bench busy", busy);
    Print("busy_wait_bench event", event);
    std::printf("busy_wait_bench's own figures (GetProcessTimes of itself):\n  %s  %s",
                busyReport.c_str(), eventReport.c_str());
    std::printf("goal for the program: <= 1 %% of one core\n");
}

}  // namespace

int wmain() {
    try {
        Run();
        return 0;
    } catch (const std::exception& failure) {
        std::printf("failed: %s\n", failure.what());
        return 1;
    }
}

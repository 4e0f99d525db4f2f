// The program starter runs the system folders' programs, never copies a search order would find
// first. Recorder copies stand in for the prefix's explorer.exe and rundll32.exe and log each
// start.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <sstream>

#include "platform/platform_error.h"
#include "platform/win32/program_starter_win32.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using services::Utf8;
using varnel::SystemProgram;

fs::path Folder(UINT(WINAPI* query)(LPWSTR, UINT)) {
    wchar_t buffer[MAX_PATH] = {};
    return fs::path(std::wstring(buffer, query(buffer, MAX_PATH)));
}

// The starts the recorders logged, each as its fields (path, show, args, cmdline).
std::vector<std::map<std::string, std::string>> Recorded(const fs::path& log) {
    std::vector<std::map<std::string, std::string>> starts;
    std::istringstream lines(services::ReadBytes(log));
    for (std::string line; std::getline(lines, line, '\n');) {
        std::istringstream fields(line.substr(0, line.find('\r')));
        starts.emplace_back();
        for (std::string field; std::getline(fields, field, '\t');) {
            const size_t equals = field.find('=');
            starts.back()[field.substr(0, equals)] = field.substr(equals + 1);
        }
    }
    return starts;
}

class ProgramStarter : public testing::Test {
protected:
    void SetUp() override {
        // Recorders named like the programs beside the test program and in its current
        // directory, where the search order looks before the system folders.
        for (const fs::path& folder : {services::BuildFolder() / "tests", planted_}) {
            for (const wchar_t* name : {L"explorer.exe", L"RUNDLL32.EXE"}) {
                services::CopyTool(L"recorder.exe", folder / name);
                plantedFiles_.push_back(folder / name);
            }
        }
        GetCurrentDirectoryW(MAX_PATH, previousDirectory_);
        SetCurrentDirectoryW(planted_.c_str());
        fs::remove(log_);
        SetEnvironmentVariableW(L"VARNEL_RECORDER_LOG", log_.c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryW(previousDirectory_);
        for (const fs::path& file : plantedFiles_) {
            services::WaitUntil([&] { return DeleteFileW(file.c_str()) != FALSE; }, 5000);
        }
    }

    const fs::path windows_ = Folder(GetWindowsDirectoryW);
    const fs::path system_ = Folder(GetSystemDirectoryW);
    const fs::path planted_ = services::BuildFolder() / "services" / "planted";
    const fs::path log_ = services::BuildFolder() / "services" / "recorder.log";
    std::vector<fs::path> plantedFiles_;
    wchar_t previousDirectory_[MAX_PATH] = {};
};

TEST_F(ProgramStarter, RunsTheSystemFoldersProgramWithTheCommandLineAndShowStyle) {
    const services::SwappedFile shell(windows_ / "explorer.exe", L"recorder.exe");
    const services::SwappedFile rundll32(system_ / "rundll32.exe", L"recorder.exe");
    struct Row {
        SystemProgram program;
        std::u16string commandLine;
        int show;
        fs::path expected;
    };
    const Row rows[] = {
        {SystemProgram::Shell, u"explorer.exe http://x/", 2, windows_ / "explorer.exe"},
        {SystemProgram::Rundll32, u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll", 1,
         system_ / "rundll32.exe"},
        {SystemProgram::Shell, u"explorer.exe /select,\"C:\\a b\\报告.txt\"", 1,
         windows_ / "explorer.exe"},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        varnel::win32::Win32ProgramStarter().Start(row.program, row.commandLine, row.show);
        ASSERT_TRUE(services::WaitUntil([&] { return Recorded(log_).size() > i; }, 10000))
            << Utf8(row.commandLine) << " was not started";
        auto start = Recorded(log_)[i];
        EXPECT_EQ(_stricmp(start["path"].c_str(), Utf8(row.expected.u16string()).c_str()), 0)
            << start["path"];
        EXPECT_EQ(start["show"], std::to_string(row.show));
        EXPECT_EQ(start["cmdline"], Utf8(row.commandLine));
    }
}

TEST_F(ProgramStarter, AMissingProgramFailsNamingTheCommandLine) {
    const services::SwappedFile rundll32(system_ / "rundll32.exe", L"");
    const std::u16string commandLine = u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll";
    try {
        varnel::win32::Win32ProgramStarter().Start(SystemProgram::Rundll32, commandLine, 1);
        ADD_FAILURE() << "a missing rundll32.exe was started";
    } catch (const varnel::PlatformError& error) {
        EXPECT_EQ(error.Operation(), u"启动程序 " + commandLine);
    }
}

}  // namespace

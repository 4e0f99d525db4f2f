// The program starter runs the system folders' programs, never copies a search order would find
// first. Recorder copies stand in for the prefix's explorer.exe and rundll32.exe and log each
// start.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>

#include "platform/platform_error.h"
#include "platform/win32/program_starter_win32.h"
#include "support.h"

namespace {

namespace fs = services::fs;
using services::Utf8;
using varnel::SystemProgram;

// The starts the recorders logged, each as its fields (path, show, args, cmdline).
std::vector<std::map<std::string, std::string>> Recorded(const fs::path& log) {
    std::vector<std::map<std::string, std::string>> starts;
    std::istringstream lines(services::ReadBytes(log));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line.substr(0, line.find('\r')));
        starts.emplace_back();
        for (std::string field; std::getline(fields, field, '\t');) {
            starts.back()[field.substr(0, field.find('='))] = field.substr(field.find('=') + 1);
        }
    }
    return starts;
}

class ProgramStarter : public testing::Test {
protected:
    void SetUp() override {
        // An interrupted run may have left the system's programs aside.
        services::SwappedFile::Restore(windows_ / "explorer.exe");
        services::SwappedFile::Restore(system_ / "rundll32.exe");
        // Recorders named like the programs beside the test program and in its current directory,
        // where the search order looks before the system folders.
        for (const fs::path& folder : {services::BuildFolder() / "tests", planted_}) {
            for (const wchar_t* name : {L"explorer.exe", L"RUNDLL32.EXE"}) {
                services::CopyTool(L"recorder.exe", folder / name);
                plantedFiles_.push_back(folder / name);
            }
        }
        previousDirectory_ = fs::current_path();
        fs::current_path(planted_);
        fs::remove(log_);
        SetEnvironmentVariableW(L"VARNEL_RECORDER_LOG", log_.c_str());
    }
    void TearDown() override {
        fs::current_path(previousDirectory_);
        for (const fs::path& file : plantedFiles_) {
            services::WaitUntil([&] { return DeleteFileW(file.c_str()) != FALSE; }, 5000);
        }
    }

    const fs::path windows_ = fs::path(std::getenv("WINDIR"));
    const fs::path system_ = windows_ / "system32";
    const fs::path planted_ = services::BuildFolder() / "services" / "planted";
    const fs::path log_ = services::BuildFolder() / "services" / "recorder.log";
    std::vector<fs::path> plantedFiles_;
    fs::path previousDirectory_;
};

TEST_F(ProgramStarter, RunsTheSystemFoldersProgramWithTheCommandLineAndShowStyle) {
    const services::SwappedFile shell(windows_ / "explorer.exe", L"recorder.exe");
    const services::SwappedFile rundll32(system_ / "rundll32.exe", L"recorder.exe");
    const struct {
        SystemProgram program;
        std::u16string commandLine;
        int show;
        fs::path expected;
    } rows[] = {
        {SystemProgram::Shell, u"explorer.exe http://x/", 2, windows_ / "explorer.exe"},
        {SystemProgram::Rundll32, u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll", 1,
         system_ / "rundll32.exe"},
        {SystemProgram::Shell, u"explorer.exe /select,\"C:\\a b\\报告.txt\"", 1,
         windows_ / "explorer.exe"},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        varnel::win32::Win32ProgramStarter().Start(rows[i].program, rows[i].commandLine,
                                                   rows[i].show);
        ASSERT_TRUE(services::WaitUntil([&] { return Recorded(log_).size() > i; }, 10000))
            << Utf8(rows[i].commandLine) << " was not started";
        auto start = Recorded(log_)[i];
        EXPECT_EQ(_stricmp(start["path"].c_str(), rows[i].expected.string().c_str()), 0)
            << start["path"];
        EXPECT_EQ(start["show"], std::to_string(rows[i].show));
        EXPECT_EQ(start["cmdline"], Utf8(rows[i].commandLine));
    }
}

TEST_F(ProgramStarter, AMissingProgramFailsNamingTheCommandLine) {
    const services::SwappedFile rundll32(system_ / "rundll32.exe", nullptr);
    const std::u16string commandLine = u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll";
    try {
        varnel::win32::Win32ProgramStarter().Start(SystemProgram::Rundll32, commandLine, 1);
        ADD_FAILURE() << "a missing rundll32.exe was started";
    } catch (const varnel::PlatformError& error) {
        EXPECT_EQ(error.Operation(), u"启动程序 " + commandLine);
    }
}

}  // namespace

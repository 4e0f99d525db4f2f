// KillProcess through the Tool Help process table, against real running copies of a sleeper.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "platform/win32/toolhelp_processes.h"
#include "repair/kill_process.h"
#include "support.h"

namespace {

// A copy of the sleeper started from its full path, ended with the object if still running.
struct Sleeper {
    explicit Sleeper(const services::fs::path& path) {
        services::CopyTool(L"sleeper.exe", path);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &started);
        CloseHandle(started.hThread);
        process = started.hProcess;
    }
    ~Sleeper() {
        TerminateProcess(process, 1);
        CloseHandle(process);
    }
    bool EndsWithin(DWORD ms) const { return WaitForSingleObject(process, ms) == WAIT_OBJECT_0; }
    HANDLE process = nullptr;
};

TEST(Processes, KillProcessEndsEveryCaseOfTheNameAndSparesLookAlikes) {
    struct Row {
        const char* name;
        bool ends;
    } rows[] = {{"rundll32.exe", true},
                {"RunDll32.EXE", true},
                {"myrundll32.exe", false},
                {"rundll32.exe.bak", false}};
    const services::fs::path root = services::BuildFolder() / "services" / "processes";
    std::vector<std::unique_ptr<Sleeper>> copies;
    for (size_t i = 0; i < std::size(rows); ++i) {
        // A folder each: one folder cannot hold two spellings of a name.
        copies.push_back(std::make_unique<Sleeper>(root / std::to_string(i) / rows[i].name));
        ASSERT_EQ(WaitForSingleObject(copies[i]->process, 0), WAIT_TIMEOUT) << rows[i].name;
    }

    varnel::win32::ToolhelpProcessTable table;
    varnel::KillProcess(table, u"rundll32.exe");

    for (size_t i = 0; i < std::size(rows); ++i) {
        // The look-alikes are looked at last, when the others have had time to end.
        EXPECT_EQ(copies[i]->EndsWithin(rows[i].ends ? 5000 : 0), rows[i].ends) << rows[i].name;
    }
}

TEST(Processes, CurrentProcessIdIsTheTestsOwnEntryInTheTable) {
    varnel::win32::ToolhelpProcessTable table;
    std::u16string ownName;
    ASSERT_TRUE(table.ForEachProcess([&](const varnel::ProcessRecord& process) {
        if (process.id == table.CurrentProcessId()) {
            ownName = process.imageName;
        }
    }));
    EXPECT_EQ(ownName, u"services_tests.exe");
}

}  // namespace

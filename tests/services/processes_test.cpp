// KillProcess through the Tool Help process table, against real running copies of a sleeper.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "platform/win32/toolhelp_processes.h"
#include "repair/kill_process.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

TEST(Processes, KillProcessEndsEveryCaseOfTheNameAndSparesLookAlikes) {
    struct Row {
        const wchar_t* name;
        bool ends;
    };
    const Row rows[] = {
        {L"rundll32.exe", true},
        {L"RunDll32.EXE", true},
        {L"myrundll32.exe", false},
        {L"rundll32.exe.bak", false},
    };
    const fs::path root = services::BuildFolder() / "services" / "processes";
    std::vector<std::unique_ptr<services::Started>> copies;
    for (size_t i = 0; i < std::size(rows); ++i) {
        // Each in a folder of its own: one file system folder cannot hold two case variants.
        const fs::path path = root / std::to_wstring(i) / rows[i].name;
        services::CopyTool(L"sleeper.exe", path);
        copies.push_back(std::make_unique<services::Started>(path));
        ASSERT_TRUE(copies.back()->Running()) << fs::path(rows[i].name).string();
    }

    varnel::win32::ToolhelpProcessTable table;
    varnel::KillProcess(table, u"rundll32.exe");

    for (size_t i = 0; i < std::size(rows); ++i) {
        const bool ended = copies[i]->WaitForExit(rows[i].ends ? 5000 : 0);
        EXPECT_EQ(ended, rows[i].ends) << fs::path(rows[i].name).string();
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

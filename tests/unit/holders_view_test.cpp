// The holders window's portable half: menu and picker items, the command line that opens it,
// the list's rows and order, its lines, and which holders closing and ending touch.
#include <gtest/gtest.h>

#include "fakes/fake_holders.h"
#include "holders/holders_view.h"

#include <tuple>

namespace varnel::holders {
namespace {

using testing::FakeSystem;

TEST(HoldersView, DriveItemsNameLetterLabelFileSystemAndSize) {
    const std::pair<DriveInfo, std::u16string> cases[] = {
        {{u'E', DriveKind::Removable, u"备份", u"NTFS", 1536ull << 20},
         u"E:  备份  (NTFS, 1.5 GB)"},
        {{u'F', DriveKind::External, u"", u"FAT32", 64ull << 30}, u"F:  (无卷标)  (FAT32, 64 GB)"},
        {{u'G', DriveKind::CdRom, u"", u"", 0}, u"G:  (无卷标)  (无介质)"},
    };
    for (const auto& [drive, text] : cases)
        EXPECT_EQ(DriveItemText(drive), text);
}

TEST(HoldersView, OnlyHoldersAndADriveAsTheWholeCommandLineOpenTheWindow) {
    const std::pair<std::vector<std::u16string>, char16_t> cases[] = {
        {{u"/holders", u"E:"}, u'E'},
        {{u"/HOLDERS", u"e"}, u'E'},
        {{u"/holders", u"T:\\"}, u'T'},
        {{u"/holders"}, 0},
        {{u"/holders", u"E:", u"x"}, 0},
        {{u"/holders", u"1:"}, 0},
        {{u"who", u"E:"}, 0},
        {{}, 0},
    };
    for (const auto& [arguments, letter] : cases)
        EXPECT_EQ(ParseHoldersArguments(arguments).value_or(0), letter) << arguments.size();
    EXPECT_EQ(HoldersArguments(u'E'), u"/holders E:");
}

TEST(HoldersView, RowsSayWhatEachProcessHoldsAndSortByAnyColumn) {
    std::vector<Holder> holders = {
        {30, u"b.exe", {{HoldKind::File, u"E:\\a.txt"}, {HoldKind::CurrentDirectory, u"E:\\"}}},
        {4, u"", {{HoldKind::Volume, u"E:"}}},
        {200, u"A.exe", {{HoldKind::MappedFile, u"E:\\m.dat"}}},
        {7, u"a.exe", {{HoldKind::Program, u"E:\\a.exe"}}},
    };
    const HolderRow row = RowOf(holders[0]);
    EXPECT_EQ(row.program + u"|" + row.pid + u"|" + row.holds,
              u"b.exe|30|打开的文件 E:\\a.txt; 当前目录 E:\\");
    EXPECT_EQ(RowOf(holders[1]).program, u"(未知程序)");

    auto order = [&](Column column, bool ascending) {
        SortHolders(holders, column, ascending);
        std::vector<uint32_t> pids;
        for (const Holder& h : holders)
            pids.push_back(h.pid);
        return pids;
    };
    // Process ids as numbers; names without regard to case, ties by process id.
    EXPECT_EQ(order(Column::Pid, true), (std::vector<uint32_t>{4, 7, 30, 200}));
    EXPECT_EQ(order(Column::Pid, false), (std::vector<uint32_t>{200, 30, 7, 4}));
    EXPECT_EQ(order(Column::Program, true), (std::vector<uint32_t>{4, 7, 200, 30}));
    EXPECT_EQ(order(Column::Holds, true), (std::vector<uint32_t>{4, 30, 200, 7}));  // code units
}

TEST(HoldersView, LinesSayWhatWasFoundAndWhatCouldNotBeInspected) {
    const Holder editor{2, u"editor.exe", {{HoldKind::File, u"T:\\a.txt"}}};
    EXPECT_EQ(ReportLine(u'T', {{}, 0}), u"没有进程占用 T:。下一步: 点击“弹出 T:”。");
    EXPECT_EQ(ReportLine(u'T', {{}, 3}), u"在能检查的进程中没有发现占用 T: 的进程。");
    EXPECT_EQ(ReportLine(u'T', {{editor}, 0}), u"有 1 个进程占用 T:。选中后可关闭或结束它们。");
    EXPECT_EQ(UninspectedLine(3), u"有 3 个进程无法检查");
    EXPECT_EQ(UninspectedLine(0), u"");
    const EjectOutcome vetoed{EjectResult::Vetoed, u"USB\\1", 3, {false, 5, u"USB\\VID_1"}};
    EXPECT_EQ(EjectLine(u'T', vetoed),
              u"弹出 T: 被拒绝(已尝试 3 次): 设备上还有打开的文件或句柄; 拒绝者: USB\\VID_1");
    EXPECT_EQ(EjectLine(u'T', {EjectResult::Ejected, u"USB\\1", 1, {}}),
              u"已弹出 T: (USB\\1),可以拔下设备了。");
    EXPECT_EQ(EndQuestion({editor}),
              u"确定要结束以下进程吗? 未保存的数据将会丢失。\n\neditor.exe (2)");
}

// Ending never touches the program itself (1), a critical process (4 by name, 5 by flag) or an
// unidentified one (6); the shell is started again when it was ended (8).
TEST(HoldersView, EndingSparesSelfCriticalAndUnidentifiedAndRestartsTheShell) {
    FakeSystem system;
    for (uint32_t pid : {1, 2, 4, 5, 6, 7, 8})
        system.Hold(pid);
    HolderWork work{system, system,     system,       system.starter, system.clock,
                    system, system.log, system.shell, system};
    const std::vector<Holder> all = LookAt(u'T', work).holders;
    std::vector<uint32_t> endable;
    for (const Holder& h : Endable(all, system))
        endable.push_back(h.pid);
    EXPECT_EQ(endable, (std::vector<uint32_t>{2, 7, 8}));

    const FreeOutcome outcome = EndHolders(all, work);
    EXPECT_EQ(system.journal, "end 2, end 7, end 8");
    EXPECT_EQ(system.starter.started.size(), 1u) << "the shell, started again";
    EXPECT_EQ(FreeLine(outcome),
              u"已结束: editor.exe, Explorer.EXE; 已重新启动 explorer.exe; unplug.exe "
              u"本程序自身,不结束; CSRSS.EXE 系统关键进程,不结束; svc.exe 系统关键进程,不结束; "
              u"(未知程序) 无法识别的进程,不结束; guarded.exe 未关闭。");
}

TEST(HoldersView, ClosingAsksOnlyTheChosenProcessesAndLooksAgain) {
    FakeSystem system;
    for (uint32_t pid : {2, 3, 8})
        system.Hold(pid);
    HolderWork work{system, system,     system,       system.starter, system.clock,
                    system, system.log, system.shell, system};
    const FreeOutcome outcome = CloseHolders(u'T', {2, 3}, work);
    EXPECT_EQ(system.journal, "ask 2, ask 3");
    EXPECT_EQ(FreeLine(outcome), u"已关闭: editor.exe; stubborn.exe 未关闭。");
    EXPECT_THROW(LookAt(u'Q', work), PlatformError) << "a drive that does not exist";
}

// Only the chosen windows are closed (1 and 2, not 3 on the same drive); one that stays open is
// named, and a folder window alone holds the drive.
TEST(HoldersView, ChosenExplorerWindowsAreClosedAndNamedInTheLines) {
    FakeSystem system;
    system.shell.windows = {{1, u"T:\\a"}, {2, u"T:\\b"}, {3, u"T:\\c"}};
    system.shell.stuck = 2;
    HolderWork work{system, system,     system,       system.starter, system.clock,
                    system, system.log, system.shell, system};
    FreeOutcome outcome;
    outcome.windows = CloseWindows(u'T', std::vector<uint64_t>{1, 2}, work);
    EXPECT_EQ(system.journal, "close 1, close 2");
    EXPECT_EQ(FreeLine(outcome), u"已关闭资源管理器窗口: T:\\a; 资源管理器窗口未关闭: T:\\b。");

    const std::tuple<std::vector<ShellWindow>, std::u16string, std::u16string> rows[] = {
        {{{3, u"T:\\c"}}, u"", u"有 1 个资源管理器窗口打开着 T: 上的文件夹。选中后可关闭它们。"},
        {{},
         u"IShellWindows / 超时",
         u"没有进程占用 T:。下一步: 点击“弹出 T:”。 无法查看资源管理器窗口: IShellWindows / 超时"}};
    for (const auto& [windows, shellError, line] : rows)
        EXPECT_EQ(ViewLine(u'T', {{}, windows, shellError, u""}), line);
}

}  // namespace
}  // namespace varnel::holders

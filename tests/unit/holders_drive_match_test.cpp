#include <gtest/gtest.h>

#include "fakes/fake_holders.h"
#include "holders/collect_holders.h"
#include "holders/drive_match.h"

namespace varnel::holders {
namespace {

const DriveNames kVolume1{u'T', u"\\Device\\HarddiskVolume1"};

TEST(HoldersDriveMatch, PlacesEachFormOfName) {
    struct Row {
        std::u16string name;
        Placement placement;
        std::u16string path;
    };
    const Row rows[] = {
        {u"\\Device\\HarddiskVolume1\\dir\\a.txt", Placement::OnDrive, u"T:\\dir\\a.txt"},
        {u"\\DEVICE\\harddiskvolume1\\A.TXT", Placement::OnDrive, u"T:\\A.TXT"},
        {u"\\Device\\HarddiskVolume1", Placement::Volume, u"T:"},
        {u"\\Device\\HarddiskVolume1\\", Placement::OnDrive, u"T:\\"},
        // Volume 10 begins with volume 1's name but is another volume.
        {u"\\Device\\HarddiskVolume10\\a.txt", Placement::Elsewhere, u""},
        {u"\\Device\\HarddiskVolume10", Placement::Elsewhere, u""},
        {u"\\??\\T:\\a.txt", Placement::OnDrive, u"T:\\a.txt"},
        {u"\\??\\t:\\a.txt", Placement::OnDrive, u"T:\\a.txt"},
        {u"\\??\\T:", Placement::Volume, u"T:"},
        {u"\\\\.\\T:", Placement::Volume, u"T:"},
        {u"T:\\dir\\", Placement::OnDrive, u"T:\\dir\\"},
        {u"\\??\\TX:\\a.txt", Placement::Elsewhere, u""},
        {u"\\??\\C:\\a.txt", Placement::Elsewhere, u""},
        {u"C:\\a.txt", Placement::Elsewhere, u""},
        {u"\\Device\\NamedPipe\\x", Placement::Elsewhere, u""},
        {u"", Placement::Elsewhere, u""},
    };
    for (const Row& row : rows) {
        const NameMatch match = MatchName(row.name, kVolume1);
        EXPECT_EQ(match.placement, row.placement) << std::string(row.name.begin(), row.name.end());
        EXPECT_EQ(match.path, row.path);
    }
}

TEST(HoldersDriveMatch, SubstituteDriveMatchesOnlyByLetter) {
    const DriveNames subst{u'S', u"\\??\\C:\\work"};
    EXPECT_TRUE(IsSubstitute(subst.device));
    EXPECT_FALSE(IsSubstitute(kVolume1.device));
    EXPECT_EQ(MatchName(u"\\??\\C:\\work\\a.txt", subst).placement, Placement::Elsewhere);
    EXPECT_EQ(MatchName(u"\\??\\S:\\a.txt", subst).placement, Placement::OnDrive);
}

TEST(HoldersDriveMatch, ReadsDriveLetters) {
    const std::pair<std::u16string, char16_t> rows[] = {
        {u"T:", u'T'}, {u"t", u'T'},  {u"t:\\", u'T'}, {u"T:/", 0}, {u"TT", 0},
        {u"1:", 0},    {u"T:\\x", 0}, {u"", 0},        {u"é:", 0},
    };
    for (const auto& [text, letter] : rows) {
        EXPECT_EQ(ParseDriveLetter(text), letter) << std::string(text.begin(), text.end());
    }
}

TEST(HoldersCollect, NamesEachKindOnceAndCountsUninspected) {
    using testing::Process;
    ProcessView editor = Process(
        10, u"editor.exe",
        {u"\\??\\T:\\doc.txt", u"\\??\\T:\\doc.txt", u"\\??\\C:\\windows\\win.ini", u"\\??\\T:"});
    editor.files.push_back({0x44, u"\\??\\T:\\work"});
    editor.files.push_back({0x48, u"\\??\\T:\\"});
    editor.currentDirectory = u"T:\\work\\";
    editor.currentDirectoryHandle = 0x44;
    editor.mappings = {{MappingKind::Program, u"\\Device\\HarddiskVolume1\\editor.exe"},
                       {MappingKind::Dll, u"\\Device\\HarddiskVolume1\\lib\\x.dll"},
                       {MappingKind::Data, u"\\Device\\HarddiskVolume1\\big.bin"},
                       {MappingKind::Dll, u"\\Device\\HarddiskVolume10\\other.dll"}};
    ProcessView bystander = Process(20, u"other.exe", {u"\\??\\C:\\a.txt"});
    ProcessView guarded = Process(30, u"guarded.exe", {});
    guarded.handlesRead = false;

    const HolderReport report =
        CollectHolders({editor, bystander, guarded}, kVolume1,
                       [](const std::u16string& path) { return path == u"T:\\"; });

    ASSERT_EQ(report.holders.size(), 1u);
    EXPECT_EQ(report.holders[0].pid, 10u);
    const std::vector<Hold> expected = {{HoldKind::CurrentDirectory, u"T:\\work"},
                                        {HoldKind::File, u"T:\\doc.txt"},
                                        {HoldKind::Volume, u"T:"},
                                        {HoldKind::Folder, u"T:\\"},
                                        {HoldKind::Program, u"T:\\editor.exe"},
                                        {HoldKind::Dll, u"T:\\lib\\x.dll"},
                                        {HoldKind::MappedFile, u"T:\\big.bin"}};
    EXPECT_EQ(report.holders[0].holds, expected);
    EXPECT_EQ(report.uninspected, 1);
}

}  // namespace
}  // namespace varnel::holders

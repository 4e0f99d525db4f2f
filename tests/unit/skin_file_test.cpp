#include "platform/skin_file.h"

#include <gtest/gtest.h>

#include <string>

namespace varnel {
namespace {

using Colour = std::optional<uint32_t>;

struct AcceptedSkin {
    const char* name;
    std::string file;
    Colour window, text, list, listText, statusBar;
};

TEST(SkinFile, AWholeValidFileSetsTheColoursItNamesAndLeavesTheOthersNative) {
    const Colour none;
    const AcceptedSkin rows[] = {
        {"every part",
         "window = #F0F4F8\ntext = #1A2B3C\nlist = #FFFFFF\nlist-text = #000000\n"
         "statusbar = #DDE4EC\n",
         0xF0F4F8, 0x1A2B3C, 0xFFFFFF, 0x000000, 0xDDE4EC},
        {"BOM, CRLF, comments, blank lines, no final newline",
         "\xEF\xBB\xBF; a calm blue\r\nwindow = #F0F4F8\r\n\r\n  ; indented\n\nlist-text = #000000",
         0xF0F4F8, none, none, 0x000000, none},
        {"spaces and tabs around key and value", " \ttext\t=\t#1a2b3c \t\r\n", none, 0x1A2B3C, none,
         none, none},
        {"every hex digit, either case", "list = #09afAF\nstatusbar = #123456\n", none, none,
         0x09AFAF, none, 0x123456},
        {"the last of a repeated part counts", "window = #000001\nwindow = #FFFFFE\n", 0xFFFFFE,
         none, none, none, none},
    };
    for (const AcceptedSkin& row : rows) {
        SCOPED_TRACE(row.name);
        const auto skin = ParseSkinFile(row.file);
        ASSERT_TRUE(skin.has_value());
        EXPECT_EQ(skin->window, row.window);
        EXPECT_EQ(skin->text, row.text);
        EXPECT_EQ(skin->list, row.list);
        EXPECT_EQ(skin->listText, row.listText);
        EXPECT_EQ(skin->statusBar, row.statusBar);
    }
    // The size limit is inclusive.
    const std::string full = "window = #FFFFFF\n" + std::string(kMaxSkinFileBytes - 17, ';');
    EXPECT_TRUE(ParseSkinFile(full).has_value());
}

TEST(SkinFile, AnythingButAWholeValidSkinLeavesTheNativeLook) {
    const struct {
        const char* name;
        std::string text;
    } rows[] = {
        {"empty", ""},
        {"only a comment", "; only a comment\n"},
        {"only blank lines", "\n \r\n\t\n"},
        {"short colour", "window = #FFFFF"},
        {"long colour", "window = #FFFFFFF"},
        {"no '#'", "window = FFFFFF"},
        {"'#' elsewhere", "window = F#FFFFF"},
        {"digit after 9", "window = #FFFFF:"},
        {"digit before 0", "window = #FFFFF/"},
        {"letter after f", "window = #FFFFFg"},
        {"letter after F", "window = #FFFFFG"},
        {"before a", "window = #FFFFF`"},
        {"before A", "window = #FFFFF@"},
        {"no '='", "window #FFFFFF"},
        {"no key", "= #FFFFFF"},
        {"unknown part", "border = #FFFFFF"},
        {"a part's name as a prefix", "windows = #FFFFFF"},
        {"a bad line after a good one", "window = #FFFFFF\nzz"},
        {"a half BOM", "\xEF\xBBwindow = #FFFFFF"},
        {"a comment after the value", "window = #FFFFFF ; blue"},
        {"a NUL byte", std::string("window = #FFFFFF\n\0", 18)},
        {"one byte over the limit",
         "window = #FFFFFF\n" + std::string(kMaxSkinFileBytes - 16, ';')},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(ParseSkinFile(row.text).has_value()) << row.name;
    }
}

TEST(SkinFile, PathIsTheProgramDirectoryThenSlashSkinFile) {
    const struct {
        std::u16string program, skin;
    } rows[] = {
        {u"C:\\Tools\\Varnel\\varnel-unplug.exe", u"C:\\Tools\\Varnel/skinh.she"},
        {u"C:\\varnel-unplug.exe", u"C:\\/skinh.she"},  // the root keeps its "\"
        {u"C:/Tools/varnel-unplug.exe", u"C:/Tools/skinh.she"},
        {u"ab\\x.exe", u"ab/skinh.she"},  // two characters, but no drive
        {u"\\\\server\\share\\x.exe", u"\\\\server\\share/skinh.she"},
        {u"中文目录\\程序.exe", u"中文目录/skinh.she"},
        {u"varnel-unplug.exe", u"/skinh.she"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SkinFilePath(row.program), row.skin);
    }
}

}  // namespace
}  // namespace varnel

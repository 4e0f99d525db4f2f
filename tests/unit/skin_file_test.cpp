#include "platform/skin_file.h"

#include <gtest/gtest.h>

#include <string>

namespace varnel {
namespace {

TEST(SkinFile, ReadsColourLinesCommentsAndBlankLines) {
    const auto skin = ParseSkinFile(
        "\xEF\xBB\xBF; a calm blue\r\n"
        "window = #F0F4F8\r\n"
        "\n"
        "  text=#1a2b3c  \n"
        "list-text = #000000");
    ASSERT_TRUE(skin.has_value());
    EXPECT_EQ(skin->window, 0xF0F4F8u);
    EXPECT_EQ(skin->text, 0x1A2B3Cu);
    EXPECT_EQ(skin->listText, 0u);
    EXPECT_FALSE(skin->list.has_value());
    EXPECT_FALSE(skin->statusBar.has_value());
}

TEST(SkinFile, AnythingButAWholeValidSkinLeavesTheNativeLook) {
    const std::string huge = "window = #FFFFFF\n" + std::string(kMaxSkinFileBytes, ';');
    const char* const rejected[] = {
        "",                      // empty
        "; only a comment\n",    // nothing set
        "window = #FFF",         // short colour
        "window = #GGGGGG",      // not hexadecimal
        "window #FFFFFF",        // no '='
        "border = #FFFFFF",      // unknown part
        "window = #FFFFFF\nzz",  // a bad line after a good one
        "window = FFFFFF",       // no '#'
    };
    for (const char* text : rejected) {
        EXPECT_FALSE(ParseSkinFile(text).has_value()) << text;
    }
    EXPECT_FALSE(ParseSkinFile(std::string("window = #FFFFFF\n\0\x01\x02", 20)).has_value());
    EXPECT_FALSE(ParseSkinFile(huge).has_value());
    EXPECT_TRUE(ParseSkinFile(huge.substr(0, kMaxSkinFileBytes)).has_value());
}

TEST(SkinFile, PathIsTheProgramDirectoryThenSlashSkinFile) {
    EXPECT_EQ(SkinFilePath(u"C:\\Tools\\Varnel\\varnel-unplug.exe"),
              u"C:\\Tools\\Varnel/skinh.she");
    EXPECT_EQ(SkinFilePath(u"C:\\varnel-unplug.exe"), u"C:\\/skinh.she");  // the root keeps "\"
    EXPECT_EQ(SkinFilePath(u"\\\\server\\share\\x.exe"), u"\\\\server\\share/skinh.she");
    EXPECT_EQ(SkinFilePath(u"中文目录\\程序.exe"), u"中文目录/skinh.she");
}

}  // namespace
}  // namespace varnel

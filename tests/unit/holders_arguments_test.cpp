#include <gtest/gtest.h>

#include "fakes/fake_holders.h"
#include "holders/report_json.h"
#include "holders/visible_text.h"
#include "update/utf8.h"

namespace varnel::holders {
namespace {

TEST(HoldersVisibleText, WritesOutWhatCouldDisguiseAName) {
    const std::pair<std::u16string, std::u16string> rows[] = {
        {std::u16string(u"\0\t\x1F", 3), u"<U+0000><U+0009><U+001F>"},
        {u"\u007F\u0080\u0085\u009F", u"<U+007F><U+0080><U+0085><U+009F>"},
        {u"\u202Eexe.txt.exe", u"<U+202E>exe.txt.exe"},
        {u"\u061C\u200E\u200F\u202A\u202D\u2066\u2069",
         u"<U+061C><U+200E><U+200F><U+202A><U+202D><U+2066><U+2069>"},
        {u"\u00AD\u200B\u200D\u2060\u2064\uFEFF",
         u"<U+00AD><U+200B><U+200D><U+2060><U+2064><U+FEFF>"},
        {u"\u2028\u2029", u"<U+2028><U+2029>"},
        {u"a\U000E0041", u"a<U+E0041>"},  // a tag, outside the basic plane
        {std::u16string(1, 0xD83D) + u"x" + std::u16string(1, 0xDE00), u"<U+D83D>x<U+DE00>"},
        // Kept: a surrogate pair, Chinese, the neighbours of the ranges, spaces.
        {u"\U0001F600", u"\U0001F600"},
        {u"T:\\报告\u3000草稿.docx", u"T:\\报告\u3000草稿.docx"},
        {u"~\u00A0\u00AE\u061B\u200A\u202F\u2065\u206F\u2070",
         u"~\u00A0\u00AE\u061B\u200A\u202F\u2065<U+206F>\u2070"}};
    for (const auto& [name, shown] : rows)
        EXPECT_EQ(VisibleText(name), shown) << ToUtf8(shown);
}

// A holder named to look like a text file: the text shows what hides the name, the JSON keeps
// the exact name for a program to compare.
TEST(HoldersVisibleText, TextShowsTheDisguiseJsonKeepsTheName) {
    testing::FakeSystem system;
    system.processes = {
        {20, u"\u202Eexe.txt.exe", true, true, u"", 0, {{0, u"\\??\\T:\\\u2067a.txt"}}, {}}};
    EXPECT_EQ(system.Run({u"who", u"T:"}), 1);
    EXPECT_NE(system.out.find(u"  20  <U+202E>exe.txt.exe  打开的文件 T:\\<U+2067>a.txt\n"),
              std::u16string::npos)
        << ToUtf8(system.out);
    system.out.clear();
    EXPECT_EQ(system.Run({u"who", u"T:", u"--json"}), 1);
    const Json holder = Json::parse(ToUtf8(system.out))["holders"][0];
    EXPECT_EQ(holder["program"], ToUtf8(u"\u202Eexe.txt.exe"));
    EXPECT_EQ(holder["holds"][0]["path"], ToUtf8(u"T:\\\u2067a.txt"));
}

}  // namespace
}  // namespace varnel::holders

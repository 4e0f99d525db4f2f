#include <gtest/gtest.h>

#include <stdexcept>

#include "fakes/fake_holders.h"
#include "holders/arguments.h"
#include "holders/holder_texts.h"
#include "holders/report_json.h"
#include "holders/visible_text.h"
#include "text/utf8.h"

namespace varnel::holders {
namespace {

using testing::Words;

// The command a line makes, in short ("free T kill 0"), or "-" when it makes none.
std::string Parsed(const std::u16string& line) {
    const ParsedArguments parsed = ParseArguments(Words(line));
    if (parsed.problem != ArgumentProblem::None)
        return "-";
    const Command& c = parsed.command;
    const char* const kinds[] = {"help", "list", "who", "free", "eject"};
    std::string text = kinds[static_cast<int>(c.kind)];
    text += c.letter ? std::string(" ") + static_cast<char>(c.letter) : "";
    text += std::string(c.json ? " json" : "") + (c.free ? " free" : "") + (c.kill ? " kill" : "");
    text += std::string(c.all ? " all" : "") + (c.media ? " media" : "") +
            (c.force ? " force" : "") + (c.yes ? " yes" : "");
    text += c.ejectWaitSeconds ? " retry" + std::to_string(*c.ejectWaitSeconds) : "";
    return text + " " + std::to_string(c.waitSeconds);
}

TEST(HoldersArguments, ReadsValidCommandsAndRefusesTheRest) {
    const std::pair<std::u16string, std::string> rows[] = {
        {u"list", "list 5"},
        {u"-h", "help 5"},
        {u"--json who t:", "who T json 5"},
        {u"who t:\\", "who T 5"},
        {u"who a:", "who A 5"},
        {u"who z", "who Z 5"},
        {u"free T --wait 0 --kill", "free T kill 0"},
        {u"free T: --wait 3600", "free T 3600"},
        {u"eject T --kill --json", "eject T json free kill 5"},
        {u"eject T: --free", "eject T free 5"},
        {u"eject --all", "eject all 5"},
        {u"eject --json --kill --all --wait 9", "eject json free kill all retry9 5"},
        {u"eject T: --wait 0 --force --yes", "eject T force yes retry0 5"},
        {u"eject T: --media", "eject T media 5"}};
    for (const auto& [line, expected] : rows)
        EXPECT_EQ(Parsed(line), expected) << ToUtf8(line);
    for (const char16_t* line : {u"WHO T:",
                                 u"who T:\\x",
                                 u"who T:/",
                                 u"who 1:",
                                 u"who é:",
                                 u"who TX",
                                 u"who @:",
                                 u"who [:",
                                 u"free T: --free",
                                 u"free T: --media",
                                 u"free T: --wait -1",
                                 u"free T: --wait 3601",
                                 u"free T: --wait 4294967301",
                                 u"eject --all T:",
                                 u"eject T: --all",
                                 u"eject --all --force",
                                 u"eject --all --media",
                                 u"eject T: --media --kill",
                                 u"eject T: --media --wait 1",
                                 u"eject T: --yes",
                                 u"eject T: --wait",
                                 u"eject --all --yes",
                                 u"who --all"})
        EXPECT_EQ(Parsed(line), "-") << ToUtf8(line);
}

// A scan that fails in a way no system call reports.
struct FaultySystem : testing::FakeSystem {
    std::vector<ProcessView> Scan() override {
        if (faulty)
            throw std::length_error("vector");
        return FakeSystem::Scan();
    }
    bool faulty = false;
};

// With --json, wherever it stands, every error and help answer in one object on standard output
// and nothing else. Without it the same message goes to standard error, followed by the usage
// when the arguments were at fault; help alone prints the usage on standard output.
TEST(HoldersArguments, EveryAnswerToJsonIsOneObject) {
    struct Row {
        std::u16string line;
        int exitCode;
        std::string object;  // without exit_code
        bool faulty = false;
    };
    const Row rows[] = {
        {u"--json", 2, R"({"error": "参数错误: 缺少命令。"})"},
        {u"frob --json", 2, R"({"error": "参数错误: 未知的命令“frob”。"})"},
        // Shortened to 40 units without splitting the pair, the hidden character written out.
        {u"\u202E" + std::u16string(38, u'x') + u"\U0001F600x --json", 2,
         R"({"error": "参数错误: 未知的命令“<U+202E>)" + std::string(38, 'x') + R"(...”。"})"},
        {u"help --json", 0, Json{{"command", "help"}, {"usage", ToUtf8(kUsage)}}.dump()},
        {u"list T: --json", 2, R"({"command": "list", "error": "参数错误: 多余的参数“T:”。"})"},
        {u"who --json", 2, R"({"command": "who", "error": "参数错误: 缺少驱动器号。"})"},
        {u"who TT: --json", 2, R"({"command": "who", "error": "参数错误: “TT:”不是驱动器号。"})"},
        {u"who T: --kill --json", 2,
         R"({"command": "who", "error": "参数错误: 该命令不接受选项“--kill”。"})"},
        {u"free T: --wait --json", 2,
         R"({"command": "free", "error": "参数错误: --wait 后缺少秒数。"})"},
        {u"free T: --json --wait abc", 2,
         R"({"command": "free", "error": "参数错误: --wait 的秒数应为 0 到 3600 的整数,而不是“abc”。"})"},
        {u"free Q: --json", 2, R"({"command": "free", "error": "驱动器 Q: 不存在。"})"},
        {u"eject --all T: --json", 2,
         R"({"command": "eject", "error": "参数错误: --all 弹出所有可移动驱动器,不能再指定驱动器“T:”。"})"},
        {u"eject T: --force --media --json", 2,
         R"({"command": "eject", "error": "参数错误: 选项“--media --force”不能同时使用。"})"},
        {u"eject T: --yes --json", 2,
         R"({"command": "eject", "error": "参数错误: --yes 只能与 --force 一起使用。"})"},
        {u"who T: --json", 2, R"({"command": "who", "error": "内部错误: vector"})", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(ToUtf8(row.line));
        Json expected = Json::parse(row.object);
        expected["exit_code"] = row.exitCode;
        std::vector<std::u16string> plainWords = Words(row.line);
        std::erase(plainWords, u"--json");
        for (const bool json : {true, false}) {
            FaultySystem system;
            system.faulty = row.faulty;
            EXPECT_EQ(system.Run(json ? Words(row.line) : plainWords), row.exitCode);
            if (json) {
                EXPECT_EQ(Json::parse(ToUtf8(system.out), nullptr, false), expected);
                EXPECT_EQ(system.err, u"");
                continue;
            }
            const std::string message = expected.value("error", "");
            const bool showsUsage = !expected.contains("error") || message.starts_with("参数错误");
            const std::u16string plain =
                FromUtf8(message.empty() ? "" : message + "\n") + (showsUsage ? kUsage : u"");
            EXPECT_EQ(row.exitCode == 0 ? system.out : system.err, plain);
            EXPECT_EQ(row.exitCode == 0 ? system.err : system.out, u"");
        }
    }
}

TEST(HoldersVisibleText, WritesOutWhatCouldDisguiseAName) {
    const std::pair<std::u16string, std::u16string> rows[] = {
        // C0, DEL, C1; bidirectional controls; other format characters, separators, a tag.
        {std::u16string(u"\0\t\x1F\x7F\x80\x9F", 6),
         u"<U+0000><U+0009><U+001F><U+007F><U+0080><U+009F>"},
        {u"\u202Eexe.txt.exe\u061C\u200E\u200F\u202A\u2066\u2069",
         u"<U+202E>exe.txt.exe<U+061C><U+200E><U+200F><U+202A><U+2066><U+2069>"},
        {u"\u00AD\u200B\u200D\u2060\u2064\u206F\uFEFF\u2028\U000E0041",
         u"<U+00AD><U+200B><U+200D><U+2060><U+2064><U+206F><U+FEFF><U+2028><U+E0041>"},
        {std::u16string(1, 0xD83D) + u"x" + std::u16string(1, 0xDE00), u"<U+D83D>x<U+DE00>"},
        // Kept: Chinese, a surrogate pair, spaces and the neighbours of the ranges.
        {u"T:\\报告\u3000\U0001F600~\u00A0\u00AE\u061B\u200A\u202F\u2065\u2070\u06DE\U000F0000",
         u"T:\\报告\u3000\U0001F600~\u00A0\u00AE\u061B\u200A\u202F\u2065\u2070\u06DE\U000F0000"}};
    for (const auto& [name, shown] : rows)
        EXPECT_EQ(VisibleText(name), shown) << ToUtf8(shown);
}

// A holder named to look like a text file: the text shows what hides the name, the JSON keeps
// the exact name for a program to compare.
TEST(HoldersVisibleText, TextShowsTheDisguiseJsonKeepsTheName) {
    testing::FakeSystem system;
    system.processes = {{20, u"\u202Eexe.txt.exe", true, true, u"", 0, {{0, u"T:\\\u2067a"}}, {}}};
    system.Run({u"who", u"T:"});
    EXPECT_EQ(system.out,
              u"占用 T: 的进程:\n  20  <U+202E>exe.txt.exe  打开的文件 T:\\<U+2067>a\n");
    system.out.clear();
    system.Run({u"who", u"T:", u"--json"});
    EXPECT_EQ(Json::parse(ToUtf8(system.out))["holders"][0],
              Json::parse(R"({"pid": 20, "program": "\u202eexe.txt.exe",
                              "holds": [{"kind": "file", "path": "T:\\\u2067a"}]})"));
}

}  // namespace
}  // namespace varnel::holders

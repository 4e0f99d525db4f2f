#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "platform/handle_access.h"
#include "platform/platform_error.h"
#include "platform/side_by_side.h"
#include "platform/skin_file.h"
#include "text/content_type.h"
#include "text/utf8.h"

namespace varnel {
namespace {

// A failure box quotes at most 512 units of each part, never half a surrogate pair.
TEST(FailureText, QuotesEachPartUpToItsLimit) {
    const std::u16string a510(510, u'a'), pair = u"\U0001F600";
    const struct {
        std::u16string part, quoted;
    } rows[] = {
        {u"启动程序 explorer.exe", u"启动程序 explorer.exe"},
        {a510 + u"aa", a510 + u"aa"},
        {a510 + u"aab", a510 + u"aa..."},
        {a510 + u"a\U00010000", a510 + u"a..."},  // the lowest and the highest high surrogate
        {a510 + u"a\U0010FFFF", a510 + u"a..."},
        {a510 + u"aa" + pair, a510 + u"aa..."},
        {a510 + pair + u"b", a510 + pair + u"..."},
        {a510 + u"a\uD7FFb", a510 + u"a\uD7FF..."},        // just below the surrogates
        {a510 + u"\U00010000b", a510 + u"\U00010000..."},  // the lowest low surrogate ends a pair
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FailureText(PlatformError(row.part, u"x")), u"操作失败：" + row.quoted + u"\nx");
        EXPECT_EQ(FailureText(PlatformError(u"op", row.part)), u"操作失败：op\n" + row.quoted);
    }
}

// Every item of the queue is done once, by the caller and its helpers side by side; a process that
// cannot start another thread (here: no address space for a thread's stack) does them all on the
// caller's thread instead of failing or ending.
TEST(RunSideBySide, DoesEveryItemOnceOnTheThreadsItGets) {
    // Each thread that works says so, then waits until `expected` threads have come (or a few
    // seconds have passed): the threads are there at once, so each has an id of its own.
    const auto run = [](unsigned helpers, int expected, std::set<std::thread::id>& threads) {
        std::atomic<int> next{0}, done{0}, came{0};
        std::mutex lock;
        RunSideBySide(helpers, [&] {
            {
                const std::lock_guard guard(lock);
                threads.insert(std::this_thread::get_id());
            }
            ++came;
            for (int wait = 0; came < expected && wait < 500; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (int i = next++; i < 400; i = next++)
                ++done;
        });
        return done.load();
    };
    // First, in a process of its own that has started no thread yet (no stack kept for reuse).
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto withoutRoomForAThread = [&run] {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t room = rlim_t(pages) * 4096 + (1 << 20);  // less than a thread's stack
        const rlimit limit{room, room};
        setrlimit(RLIMIT_AS, &limit);
        std::set<std::thread::id> refused;
        const int done = run(3, 1, refused);
        std::fprintf(stderr, "done %d on %zu threads\n", done, refused.size());
        std::_Exit(done == 400 && refused.size() == 1 ? 0 : 1);  // nothing more to allocate
    };
    EXPECT_EXIT(withoutRoomForAThread(), ::testing::ExitedWithCode(0), "done 400 on 1 threads");
    std::set<std::thread::id> threads;
    EXPECT_EQ(run(3, 4, threads), 400);
    EXPECT_EQ(threads.size(), 4u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 1u) << "the caller works too";
}

// A worker's unexpected failure is reported as the platform's own are; a platform failure stays
// as it is.
TEST(AsPlatformError, KeepsAPlatformFailureAndNamesAnyOtherAnInternalError) {
    const PlatformError platform = AsPlatformError(PlatformError(u"EvtQuery", u"拒绝访问。"));
    EXPECT_EQ(platform.Operation() + u"|" + platform.Detail(), u"EvtQuery|拒绝访问。");
    const PlatformError other = AsPlatformError(std::bad_alloc());
    EXPECT_EQ(other.Operation() + u"|" + other.Detail(), u"内部错误|std::bad_alloc");
}

// An answer is read in the code page its charset names, whatever its case or quotes; in UTF-8
// when it names none or one unknown.
TEST(ContentType, GivesTheCodePageItsCharsetNames) {
    const std::pair<std::u16string_view, uint32_t> rows[] = {
        {u"charset=gbk", 936},         {u"charset=x-gbk", 936},          {u"charset=gb2312", 936},
        {u"charset=cp936", 936},       {u"charset=gb18030", 54936},      {u"charset=big5", 950},
        {u"charset=us-ascii", 20127},  {u"charset=latin1", 1252},        {u"charset=euc-kr", 949},
        {u"charset=shift_jis", 932},   {u"charset=windows-1252", 1252},  {u"charset=utf-8", 65001},
        {u"charset=iso-8859-1", 1252}, {u"charset=iso-8859-15", 28605},  {u"charset=utf8", 65001},
        {u"charset=gbk2", 65001},      {u"A/B;CHARSET=\"Big5\";x", 950}, {u"text/json", 65001},
    };
    for (const auto& [type, codePage] : rows)
        EXPECT_EQ(CodePageOfContentType(type), codePage) << ToUtf8(std::u16string(type));
}

// The colours of window, text, list, list-text and statusbar; "-" for each left native.
std::string Colours(const std::string& file) {
    const auto skin = ParseSkinFile(file);
    if (!skin)
        return "none";
    std::string colours;
    for (const auto& c : {skin->window, skin->text, skin->list, skin->listText, skin->statusBar}) {
        char hex[16] = "-";
        if (c)
            std::snprintf(hex, sizeof hex, "%06X", *c);
        colours += (colours.empty() ? "" : " ") + std::string(hex);
    }
    return colours;
}

TEST(SkinFile, AWholeValidFileSetsTheColoursItNamesAndAnythingElseLeavesTheNativeLook) {
    const std::string limit = "window = #FFFFFF\n" + std::string(kMaxSkinFileBytes - 17, ';');
    const struct {
        std::string file, colours;
    } rows[] = {
        {"window = #F0F4F8\ntext = #1A2B3C\nlist = #FFFFFF\nlist-text = #000000\nstatusbar = "
         "#DDE4EC",
         "F0F4F8 1A2B3C FFFFFF 000000 DDE4EC"},
        {"\xEF\xBB\xBF; a calm blue\r\nwindow = #F0F4F8\r\n\r\n  ; indented\n\nlist-text = #000000",
         "F0F4F8 - - 000000 -"},
        {" \ttext\t=\t#1a2b3c \t\r\n", "- 1A2B3C - - -"},
        {"list = #09afAF\nstatusbar = #123456\n", "- - 09AFAF - 123456"},
        {limit, "FFFFFF - - - -"},
        {limit + ";", "none"},
        {"", "none"},
        {"; only a comment\n", "none"},
        {"window = #FFFFFF\nzz", "none"},
        {"\xEF\xBBwindow = #FFFFFF", "none"},
        {"window = #FFFFFF ; blue", "none"},
        {std::string("window = #FFFFFF\n\0", 18), "none"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Colours(row.file), row.colours) << row.file.substr(0, 80);
    for (const char* line :
         {"window = #FFFFF", "window = #FFFFFFF", "window = FFFFFF", "window = F#FFFFF",
          "window = #FFFFF:", "window = #FFFFF/", "window = #FFFFFg", "window = #FFFFFG",
          "window = #FFFFF`", "window = #FFFFF@", "window #FFFFFF", "= #FFFFFF", "border = #FFFFFF",
          "windows = #FFFFFF"})
        EXPECT_EQ(Colours(line), "none") << line;
}

TEST(SkinFile, PathIsTheProgramDirectoryThenSlashSkinFile) {
    const struct {
        std::u16string program, skin;
    } rows[] = {
        {u"C:\\Tools\\Varnel\\varnel-unplug.exe", u"C:\\Tools\\Varnel/skinh.she"},
        {u"C:\\varnel-unplug.exe", u"C:\\/skinh.she"},  // the root keeps its "\"
        {u"C:/Tools/varnel-unplug.exe", u"C:/Tools/skinh.she"},
        {u"ab\\x.exe", u"ab/skinh.she"},  // two characters, but no drive
        {u"varnel-unplug.exe", u"/skinh.she"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SkinFilePath(row.program), row.skin);
}

// Pipe ends are skipped before their name is asked; whatever a file, folder or volume opened on a
// drive holds is asked, the read-and-write mask that duplex pipes share too.
TEST(HandleAccess, SkipsPipeMasksAndAsksEveryMaskAFileOnADriveHolds) {
    const std::pair<uint32_t, bool> rows[] = {
        {0x00100000, false}, {0x00120189, false}, {0x001A019F, false},  // pipes
        {0x0012019F, true},  {0x00120089, true},  {0x00120116, true},   // read and write, each
        {0x00100080, true},  {0x00100020, true},  {0x001F01FF, true}};  // none, traverse, all
    for (const auto& [access, asked] : rows)
        EXPECT_EQ(MayNameAFile(access), asked) << std::hex << access;
}

}  // namespace
}  // namespace varnel

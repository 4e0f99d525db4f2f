#include <gtest/gtest.h>

#include "platform/platform_error.h"

namespace varnel {
namespace {

// A failure box quotes at most 512 characters of each part, never half a surrogate pair.
TEST(FailureText, QuotesEachPartUpToItsLimit) {
    const std::u16string pair = u"\U0001F600";  // two UTF-16 units
    struct Row {
        const char* what;
        std::u16string part;
        std::u16string quoted;
    };
    const std::vector<Row> rows{
        {"short", u"启动程序 explorer.exe", u"启动程序 explorer.exe"},
        {"at the limit", std::u16string(512, u'a'), std::u16string(512, u'a')},
        {"one over", std::u16string(513, u'a'), std::u16string(512, u'a') + u"..."},
        {"a pair across the cut", std::u16string(511, u'a') + pair + u"b",
         std::u16string(511, u'a') + u"..."},
        {"a pair before the cut", std::u16string(510, u'a') + pair + u"b",
         std::u16string(510, u'a') + pair + u"..."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(FailureText(PlatformError(row.part, u"x")), u"操作失败：" + row.quoted + u"\nx");
        EXPECT_EQ(FailureText(PlatformError(u"op", row.part)), u"操作失败：op\n" + row.quoted);
    }
}

}  // namespace
}  // namespace varnel

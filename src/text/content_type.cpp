#include "text/content_type.h"

#include <algorithm>
#include <string>
#include <utility>

#include "text/ascii_case.h"

namespace varnel {

uint32_t CodePageOfContentType(std::u16string_view contentType) {
    const std::u16string lower = AsciiLower(contentType);
    const size_t at = lower.find(u"charset=");
    if (at == std::u16string::npos) {
        return kCodePageUtf8;
    }
    std::u16string name = lower.substr(at + 8);
    name.resize(std::min(name.size(), name.find_first_of(u"; \t")));
    std::erase(name, u'"');
    static constexpr std::pair<std::u16string_view, uint32_t> kNames[] = {
        {u"utf-8", kCodePageUtf8}, {u"utf8", kCodePageUtf8}, {u"gbk", 936},
        {u"gb2312", 936},          {u"cp936", 936},          {u"x-gbk", 936},
        {u"gb18030", 54936},       {u"big5", 950},           {u"us-ascii", 20127},
        {u"iso-8859-1", 1252},     {u"latin1", 1252},        {u"windows-1252", 1252},
        {u"shift_jis", 932},       {u"euc-kr", 949},         {u"iso-8859-15", 28605},
    };
    for (const auto& [known, codePage] : kNames) {
        if (name == known) {
            return codePage;
        }
    }
    return kCodePageUtf8;
}

}  // namespace varnel

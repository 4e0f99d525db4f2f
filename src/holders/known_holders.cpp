#include "holders/known_holders.h"

#include <algorithm>
#include <array>

#include "text/ascii_case.h"
#include "text/utf8.h"

namespace varnel::holders {
namespace {

struct Row {
    std::u16string_view program;  // lower case
    KnownHolder holder;
};

constexpr KnownHolder kThumbnails{u"缩略图和预览宿主",
                                  u"资源管理器在生成缩略图,通常几秒后自行结束;稍等后再试"};
constexpr KnownHolder kSearch{u"Windows 搜索索引",
                              u"索引服务在读取驱动器;稍等后再试,或在索引选项中去掉该驱动器"};
constexpr KnownHolder kScanner{u"病毒扫描", u"杀毒软件在扫描驱动器上的文件;等扫描结束后再试"};
constexpr KnownHolder kCloud{u"云同步客户端", u"暂停同步或退出该客户端后再试"};

constexpr std::array<Row, 14> kTable = {{
    {u"dllhost.exe", kThumbnails},
    {u"searchindexer.exe", kSearch},
    {u"searchprotocolhost.exe", kSearch},
    {u"searchfilterhost.exe", kSearch},
    {u"msmpeng.exe", kScanner},
    {u"mpdefendercoreservice.exe", kScanner},
    {u"nissrv.exe", kScanner},
    {u"prevhost.exe",
     {u"资源管理器预览窗格", u"在资源管理器中关闭预览窗格(Alt+P)或选中别的文件后再试"}},
    {u"system", {u"文件系统元数据", u"系统在使用卷上的文件系统数据;关闭其他占用的程序后再试"}},
    {u"taskmgr.exe", {u"任务管理器", u"关闭任务管理器后再试"}},
    {u"onedrive.exe", kCloud},
    {u"dropbox.exe", kCloud},
    {u"googledrivefs.exe", kCloud},
    {u"everything.exe", {u"文件搜索索引", u"在该程序的设置中排除此驱动器,或退出它后再试"}},
}};

}  // namespace

const KnownHolder* FindKnownHolder(std::u16string_view program) {
    const std::u16string lower = AsciiLower(program);
    const auto row = std::find_if(kTable.begin(), kTable.end(),
                                  [&](const Row& r) { return r.program == lower; });
    return row == kTable.end() ? nullptr : &row->holder;
}

const KnownHolder* KnownHolderOf(const Holder& holder) {
    const bool runsFromDrive =
        std::any_of(holder.holds.begin(), holder.holds.end(),
                    [](const Hold& h) { return h.kind == HoldKind::Program; });
    return runsFromDrive ? nullptr : FindKnownHolder(holder.program);
}

std::u16string KnownHolderText(const Holder& holder) {
    const KnownHolder* known = KnownHolderOf(holder);
    if (known == nullptr) {
        return {};
    }
    return u" [" + std::u16string(known->label) + u": " + std::u16string(known->advice) + u"]";
}

void AddKnownHolderJson(nlohmann::ordered_json& holderJson, const Holder& holder) {
    if (const KnownHolder* known = KnownHolderOf(holder)) {
        holderJson["label"] = ToUtf8(std::u16string(known->label));
        holderJson["advice"] = ToUtf8(std::u16string(known->advice));
    }
}

}  // namespace varnel::holders

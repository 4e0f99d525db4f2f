#include "holders/holder_texts.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "holders/visible_text.h"

namespace varnel::holders {
namespace {

std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// A word from the command line inside a message: at most 40 units, whole characters.
std::u16string Quoted(const std::u16string& word) {
    constexpr size_t kShown = 40;
    if (word.size() <= kShown) {
        return u"“" + VisibleText(word) + u"”";
    }
    const bool splitsPair = word[kShown - 1] >= 0xD800 && word[kShown - 1] <= 0xDBFF;
    return u"“" + VisibleText(word.substr(0, kShown - (splitsPair ? 1 : 0))) + u"...”";
}

}  // namespace

std::u16string ArgumentError(ArgumentProblem problem, const std::u16string& word) {
    std::u16string reason;
    switch (problem) {
        case ArgumentProblem::None:
            break;
        case ArgumentProblem::NoCommand:
            reason = u"缺少命令";
            break;
        case ArgumentProblem::UnknownCommand:
            reason = u"未知的命令" + Quoted(word);
            break;
        case ArgumentProblem::ExtraWord:
            reason = u"多余的参数" + Quoted(word);
            break;
        case ArgumentProblem::NoDrive:
            reason = u"缺少驱动器号";
            break;
        case ArgumentProblem::BadDrive:
            reason = Quoted(word) + u"不是驱动器号";
            break;
        case ArgumentProblem::BadOption:
            reason = u"该命令不接受选项" + Quoted(word);
            break;
        case ArgumentProblem::NoSeconds:
            reason = u"--wait 后缺少秒数";
            break;
        case ArgumentProblem::BadSeconds:
            reason = u"--wait 的秒数应为 0 到 " + Number(kMaxWaitSeconds) + u" 的整数,而不是" +
                     Quoted(word);
            break;
        case ArgumentProblem::AllWithDrive:
            reason = u"--all 弹出所有可移动驱动器,不能再指定驱动器" + Quoted(word);
            break;
        case ArgumentProblem::Conflict:
            reason = u"选项" + Quoted(word) + u"不能同时使用";
            break;
        case ArgumentProblem::YesAlone:
            reason = u"--yes 只能与 --force 一起使用";
            break;
    }
    return u"参数错误: " + reason + u"。";
}

std::u16string KindWord(HoldKind kind) {
    switch (kind) {
        case HoldKind::File:
            return u"打开的文件";
        case HoldKind::Folder:
            return u"打开的文件夹";
        case HoldKind::CurrentDirectory:
            return u"当前目录";
        case HoldKind::Program:
            return u"程序";
        case HoldKind::Dll:
            return u"DLL";
        case HoldKind::MappedFile:
            return u"映射的文件";
        case HoldKind::Volume:
            return u"卷句柄";
        case HoldKind::Unknown:
            return u"用途未知";
    }
    return u"?";
}

const char* KindName(HoldKind kind) {
    switch (kind) {
        case HoldKind::File:
            return "file";
        case HoldKind::Folder:
            return "folder";
        case HoldKind::CurrentDirectory:
            return "current_directory";
        case HoldKind::Program:
            return "program";
        case HoldKind::Dll:
            return "dll";
        case HoldKind::MappedFile:
            return "mapped_file";
        case HoldKind::Volume:
            return "volume";
        case HoldKind::Unknown:
            return "unknown";
    }
    return "?";
}

std::u16string DriveKindWord(DriveKind kind) {
    switch (kind) {
        case DriveKind::Removable:
            return u"可移动";
        case DriveKind::External:
            return u"外接";
        case DriveKind::CdRom:
            return u"光驱";
    }
    return u"?";
}

const char* DriveKindName(DriveKind kind) {
    switch (kind) {
        case DriveKind::Removable:
            return "removable";
        case DriveKind::External:
            return "external";
        case DriveKind::CdRom:
            return "cdrom";
    }
    return "?";
}

std::u16string SpareWord(SpareReason reason) {
    switch (reason) {
        case SpareReason::None:
            return u"未关闭";
        case SpareReason::Self:
            return u"本程序自身,不结束";
        case SpareReason::Caller:
            return u"启动本程序的进程,不结束";
        case SpareReason::SameProgram:
            return u"本程序的另一次运行,不结束";
        case SpareReason::Critical:
            return u"系统关键进程,不结束";
        case SpareReason::Unidentified:
            return u"无法识别的进程,不结束";
        case SpareReason::UnknownUse:
            return u"无法检查它占用了什么,不询问也不结束";
    }
    return u"?";
}

const char* SpareName(SpareReason reason) {
    switch (reason) {
        case SpareReason::None:
            return "still_running";
        case SpareReason::Self:
            return "self";
        case SpareReason::Caller:
            return "caller";
        case SpareReason::SameProgram:
            return "same_program";
        case SpareReason::Critical:
            return "critical";
        case SpareReason::Unidentified:
            return "unidentified";
        case SpareReason::UnknownUse:
            return "unknown_use";
    }
    return "?";
}

std::u16string VetoCause(int vetoType) {
    static const char16_t* const kCauses[] = {
        u"原因不明",                     // PNP_VetoTypeUnknown
        u"旧式设备不支持弹出",           // PNP_VetoLegacyDevice
        u"设备正在等待关闭",             // PNP_VetoPendingClose
        u"有程序正在使用该设备",         // PNP_VetoWindowsApp
        u"有服务正在使用该设备",         // PNP_VetoWindowsService
        u"设备上还有打开的文件或句柄",   // PNP_VetoOutstandingOpen
        u"设备拒绝了请求",               // PNP_VetoDevice
        u"驱动程序拒绝了请求",           // PNP_VetoDriver
        u"该设备不接受弹出请求",         // PNP_VetoIllegalDeviceRequest
        u"电源不足",                     // PNP_VetoInsufficientPower
        u"设备不能被停用",               // PNP_VetoNonDisableable
        u"旧式驱动程序不支持弹出",       // PNP_VetoLegacyDriver
        u"权限不足,请以管理员身份运行",  // PNP_VetoInsufficientRights
    };
    if (vetoType >= 0 && vetoType < static_cast<int>(std::size(kCauses))) {
        return kCauses[vetoType];
    }
    return u"未知原因(类型 " + Ascii(std::to_string(vetoType)) + u")";
}

std::u16string Number(uint64_t value) {
    return Ascii(std::to_string(value));
}

std::u16string SizeText(uint64_t bytes) {
    static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof(text), (unit == 0 || value >= 10) ? "%.0f %s" : "%.1f %s", value,
                  kUnits[unit]);
    return Ascii(text);
}

std::u16string LeftWord(const LeftHolder& left) {
    std::u16string word = SpareWord(left.spared);
    const auto& holds = left.holder.holds;
    const bool inFolder = std::any_of(holds.begin(), holds.end(), [](const Hold& hold) {
        return hold.kind == HoldKind::CurrentDirectory;
    });
    if (left.spared == SpareReason::Caller && inFolder) {
        word += u"。请先在命令行中离开该驱动器 (cd /d C:\\)";
    }
    return word;
}

std::u16string ForceQuestion(char16_t letter, const std::vector<Holder>& holders) {
    std::u16string names;
    for (const Holder& holder : holders) {
        names += (names.empty() ? u"" : u", ") +
                 (holder.program.empty() ? u"(未知程序)" : VisibleText(holder.program)) + u" (" +
                 Number(holder.pid) + u")";
    }
    return u"仍有程序打开着 " + std::u16string{letter, u':'} +
           u" 上的文件,强制卸载可能使它们丢失未保存的数据。列出的程序: " +
           (names.empty() ? u"(无法查明)" : names) + u" 是否继续?";
}

std::u16string CardReaderHint(char16_t letter) {
    const std::u16string drive{letter, u':'};
    return drive +
           u" 在读卡器中: 弹出整个设备后读卡器要重新插入才能再用;只取出卡可用 unplug eject " +
           drive + u" --media,读卡器仍可使用。\n";
}

std::u16string SameDeviceText(char16_t letter, char16_t first) {
    return std::u16string{letter, u':'} + u" 与 " + std::u16string{first, u':'} +
           u" 在同一设备上,已随 " + std::u16string{first, u':'} + u" 一同处理。\n";
}

}  // namespace varnel::holders

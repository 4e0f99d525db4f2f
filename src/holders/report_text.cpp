#include "holders/report_text.h"

#include "holders/explorer_windows.h"
#include "holders/holder_texts.h"
#include "holders/known_holders.h"
#include "holders/visible_text.h"

namespace varnel::holders {
namespace {

std::u16string UninspectedText(int uninspected) {
    return u"有 " + Number(uninspected) +
           u" 个进程无法检查(其他用户的或受保护的进程);以管理员身份运行可查看它们。\n";
}

std::u16string Lines(const std::vector<Holder>& holders) {
    std::u16string text;
    for (const Holder& holder : holders) {
        text += HolderLine(holder);
    }
    return text;
}

}  // namespace

std::u16string DriveText(char16_t letter) {
    return std::u16string(1, letter) + u":";
}

std::u16string ListText(const std::vector<DriveInfo>& drives) {
    if (drives.empty()) {
        return u"没有可移动驱动器或外接驱动器。\n";
    }
    std::u16string text;
    for (const DriveInfo& drive : drives) {
        text += DriveText(drive.letter) + u"  " + DriveKindWord(drive.kind) + u"  ";
        text += (drive.label.empty() ? u"(无卷标)" : VisibleText(drive.label)) + u"  ";
        text += drive.fileSystem.empty() ? u"(无介质)"
                                         : drive.fileSystem + u"  " + SizeText(drive.sizeBytes);
        text += u"\n";
    }
    return text;
}

std::u16string HolderLine(const Holder& holder) {
    std::u16string line = u"  " + Number(holder.pid) + u"  " +
                          (holder.program.empty() ? u"(未知程序)" : VisibleText(holder.program)) +
                          u"  ";
    for (size_t i = 0; i < holder.holds.size(); ++i) {
        line += (i == 0 ? u"" : u"; ") + KindWord(holder.holds[i].kind) + u" " +
                VisibleText(holder.holds[i].path);
    }
    return line + KnownHolderText(holder) + u"\n";
}

std::u16string WhoText(char16_t letter, const HolderReport& report) {
    return WhoText(letter, report, u"");
}

std::u16string WhoText(char16_t letter, const HolderReport& report,
                       const std::u16string& otherHolderLines) {
    std::u16string text;
    if (!report.holders.empty() || !otherHolderLines.empty()) {
        text =
            u"占用 " + DriveText(letter) + u" 的进程:\n" + Lines(report.holders) + otherHolderLines;
    } else if (report.uninspected == 0) {
        text = u"没有进程占用 " + DriveText(letter) + u"。\n";
    } else {
        text = u"在能检查的进程中没有发现占用 " + DriveText(letter) + u" 的进程。\n";
    }
    if (report.uninspected > 0) {
        text += UninspectedText(report.uninspected);
    }
    return text;
}

std::u16string FreeText(char16_t letter, const FreeOutcome& outcome) {
    std::u16string text;
    if (!outcome.closed.empty() || !outcome.windows.closed.empty()) {
        text += u"已关闭:\n" + ExplorerWindowLines(outcome.windows.closed) + Lines(outcome.closed);
    }
    if (!outcome.ended.empty()) {
        text += u"已结束:\n" + Lines(outcome.ended);
    }
    if (outcome.shellEnded) {
        text += outcome.shellRestarted ? u"已重新启动 explorer.exe。\n"
                                       : u"explorer.exe 未能重新启动。\n";
    }
    if (!outcome.left.empty() || !outcome.windows.left.empty()) {
        text += u"仍占用 " + DriveText(letter) + u" 的进程:\n";
        for (const LeftHolder& left : outcome.left) {
            std::u16string line = HolderLine(left.holder);
            line.insert(line.size() - 1, u" (" + LeftWord(left) + u")");
            text += line;
        }
        text += ExplorerWindowLines(outcome.windows.left);
    } else if (outcome.uninspected == 0) {
        text += DriveText(letter) + u" 已无进程占用。\n";
    } else {
        text += u"在能检查的进程中已没有占用 " + DriveText(letter) + u" 的进程。\n";
    }
    if (outcome.uninspected > 0) {
        text += UninspectedText(outcome.uninspected);
    }
    return text + ShellErrorLine(outcome.windows.error);
}

std::u16string EjectText(char16_t letter, const EjectOutcome& outcome,
                         const HolderReport& holdersAfterVeto) {
    switch (outcome.result) {
        case EjectResult::DeviceNotFound:
            return u"找不到 " + DriveText(letter) + u" 所在的设备,无法弹出。\n";
        case EjectResult::Ejected:
            return u"已弹出 " + DriveText(letter) + u" (" + VisibleText(outcome.device) +
                   u"),可以拔下设备了。\n";
        case EjectResult::Vetoed:
            break;
    }
    std::u16string text = u"弹出 " + DriveText(letter) + u" 被拒绝(已尝试 " +
                          Number(outcome.tries) + u" 次): " +
                          VetoCause(outcome.lastAnswer.vetoType);
    if (!outcome.lastAnswer.vetoName.empty()) {
        text += u"; 拒绝者: " + VisibleText(outcome.lastAnswer.vetoName);
    }
    return text + u"\n" + WhoText(letter, holdersAfterVeto);
}

}  // namespace varnel::holders

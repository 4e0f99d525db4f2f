// The console program's words, in Simplified Chinese like the window's, and the names the JSON
// form uses for the same things.
#pragma once

#include <string>
#include <vector>

#include "holders/arguments.h"
#include "holders/free_policy.h"
#include "holders/holder_model.h"
#include "platform/drives.h"

namespace varnel::holders {

inline constexpr char16_t kUsage[] =
    u"用法:\n"
    u"  unplug list                          列出可移动驱动器和外接驱动器\n"
    u"  unplug who X:                        列出占用 X: 的进程\n"
    u"  unplug free X: [--kill] [--wait 秒]  请占用 X: 的进程关闭(默认等待 5 秒),"
    u"--kill 结束仍未关闭的进程\n"
    u"  unplug eject X: [--free] [--kill] [--wait 秒] [--force [--yes]]\n"
    u"                                       弹出 X: 所在的设备,--free 先释放驱动器,"
    u"--wait 被拒绝时重试,--force 被拒绝后强制卸载卷\n"
    u"  unplug eject X: --media              只弹出介质(如读卡器中的卡),读卡器仍可使用\n"
    u"  unplug eject --all [--free] [--kill] [--wait 秒]  依次弹出所有可移动驱动器和外接驱动器\n"
    u"  unplug why X:                        列出最近 7 天 Windows 记录的拒绝弹出 X: 的程序\n"
    u"  任一命令加 --json 输出 JSON。\n"
    u"退出码: 0 成功或无人占用, 1 仍被占用或弹出被拒绝, 2 错误, 3 无人占用但有进程无法检查\n";

// Why the arguments make no command, naming the word at fault (shortened, its hidden characters
// written out): "参数错误: 未知的命令“frob”。"
std::u16string ArgumentError(ArgumentProblem problem, const std::u16string& word);

// Kinds of hold, drives and spare reasons: the words shown and the JSON names.
std::u16string KindWord(HoldKind kind);
const char* KindName(HoldKind kind);
std::u16string DriveKindWord(DriveKind kind);
const char* DriveKindName(DriveKind kind);
std::u16string SpareWord(SpareReason reason);
const char* SpareName(SpareReason reason);

// The cause of an eject veto (PNP_VETO_TYPE) in words; unknown types keep their number.
std::u16string VetoCause(int vetoType);

std::u16string Number(uint64_t value);
// "1.5 GB" style sizes, 1024-based, one decimal below 10.
std::u16string SizeText(uint64_t bytes);

// A left holder's reason as the text output shows it: a calling command line that stands in the
// drive is told how to leave it.
std::u16string LeftWord(const LeftHolder& left);

// The question before a forced dismount, naming the programs that may lose unsaved data; the
// console adds " (y/N)".
std::u16string ForceQuestion(char16_t letter, const std::vector<Holder>& holders);
// After ejecting a card reader's drive: the reader can stay.
std::u16string CardReaderHint(char16_t letter);
// A drive of eject --all on the device of an earlier one.
std::u16string SameDeviceText(char16_t letter, char16_t first);

}  // namespace varnel::holders

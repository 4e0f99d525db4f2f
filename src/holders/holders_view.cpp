#include "holders/holders_view.h"

#include <algorithm>
#include <future>
#include <tuple>

#include "holders/collect_holders.h"
#include "holders/drive_look.h"
#include "holders/drive_match.h"
#include "holders/explorer_windows.h"
#include "holders/holder_texts.h"
#include "holders/known_holders.h"
#include "holders/report_text.h"
#include "holders/visible_text.h"
#include "platform/platform_error.h"
#include "text/ascii_case.h"

namespace varnel::holders {
namespace {

// How long a polite close may take before the window looks again.
constexpr uint32_t kCloseWaitSeconds = 5;

std::u16string ProgramText(const std::u16string& program) {
    return program.empty() ? u"(未知程序)" : program;
}

std::u16string Names(const std::vector<Holder>& holders) {
    std::u16string text;
    for (const Holder& holder : holders) {
        text += (text.empty() ? u"" : u", ") + ProgramText(holder.program);
    }
    return text;
}

std::u16string Paths(const std::vector<ShellWindow>& windows) {
    std::u16string text;
    for (const ShellWindow& window : windows) {
        text += (text.empty() ? u"" : u", ") + VisibleText(window.path);
    }
    return text;
}

// The shell seen through the chosen windows only, so that closing them waits for those alone.
class ChosenWindows : public ShellWindows {
public:
    ChosenWindows(ShellWindows& shell, const std::vector<uint64_t>& ids)
        : shell_(shell), ids_(ids) {}
    std::vector<ShellWindow> List() override {
        std::vector<ShellWindow> windows = shell_.List();
        std::erase_if(windows, [this](const ShellWindow& window) {
            return std::find(ids_.begin(), ids_.end(), window.id) == ids_.end();
        });
        return windows;
    }
    bool Close(uint64_t id) override { return shell_.Close(id); }

private:
    ShellWindows& shell_;
    const std::vector<uint64_t>& ids_;
};

}  // namespace

std::u16string DriveItemText(const DriveInfo& drive) {
    std::u16string text = DriveText(drive.letter) + u"  ";
    text += (drive.label.empty() ? u"(无卷标)" : drive.label) + u"  ";
    return text + (drive.fileSystem.empty()
                       ? u"(无介质)"
                       : u"(" + drive.fileSystem + u", " + SizeText(drive.sizeBytes) + u")");
}

std::u16string HoldersCaption(char16_t letter) {
    return u"谁在占用 " + DriveText(letter);
}

std::u16string EjectCaption(char16_t letter) {
    return u"弹出 " + DriveText(letter);
}

std::optional<char16_t> ParseHoldersArguments(const std::vector<std::u16string>& arguments) {
    if (arguments.size() != 2 || AsciiLower(arguments[0]) != u"/holders") {
        return std::nullopt;
    }
    const char16_t letter = ParseDriveLetter(arguments[1]);
    return letter == 0 ? std::nullopt : std::optional<char16_t>(letter);
}

std::u16string HoldersArguments(char16_t letter) {
    return u"/holders " + DriveText(letter);
}

HolderRow RowOf(const Holder& holder) {
    std::u16string holds;
    for (const Hold& hold : holder.holds) {
        holds += (holds.empty() ? u"" : u"; ") + KindWord(hold.kind) + u" " + hold.path;
    }
    std::u16string note;
    if (const KnownHolder* known = KnownHolderOf(holder)) {
        note = std::u16string(known->label) + u": " + std::u16string(known->advice);
    }
    return {ProgramText(holder.program), Number(holder.pid), holds, note};
}

HolderRow RowOf(const ShellWindow& window) {
    return {kExplorerWindowWord, u"", VisibleText(window.path),
            u"关闭此窗口即可,不必结束 explorer.exe"};
}

void SortHolders(std::vector<Holder>& holders, Column column, bool ascending) {
    auto key = [column](const Holder& h) {
        const std::u16string text = column == Column::Program ? AsciiLower(h.program)
                                    : column == Column::Holds ? RowOf(h).holds
                                    : column == Column::Note  ? RowOf(h).note
                                                              : u"";
        return std::make_tuple(text, h.pid);
    };
    std::stable_sort(holders.begin(), holders.end(), [&](const Holder& a, const Holder& b) {
        return ascending ? key(a) < key(b) : key(b) < key(a);
    });
}

std::u16string SearchingLine(char16_t letter) {
    return u"正在查找占用 " + DriveText(letter) + u" 的进程...";
}

std::u16string ReportLine(char16_t letter, const HolderReport& report) {
    if (!report.holders.empty()) {
        return u"有 " + Number(report.holders.size()) + u" 个进程占用 " + DriveText(letter) +
               u"。选中后可关闭或结束它们。";
    }
    if (report.uninspected > 0) {
        return u"在能检查的进程中没有发现占用 " + DriveText(letter) + u" 的进程。";
    }
    return u"没有进程占用 " + DriveText(letter) + u"。下一步: 点击“" + EjectCaption(letter) +
           u"”。";
}

std::u16string UninspectedLine(int uninspected) {
    return uninspected > 0 ? u"有 " + Number(uninspected) + u" 个进程无法检查" : u"";
}

std::u16string ScanFailedLine(const std::u16string& operation, const std::u16string& detail) {
    return u"无法查找占用的进程: " + operation + u" 失败, " + detail;
}

std::u16string FreeLine(const FreeOutcome& outcome) {
    std::u16string line;
    auto part = [&line](const std::u16string& text) {
        line += (line.empty() ? u"" : u"; ") + text;
    };
    if (!outcome.windows.closed.empty()) {
        part(u"已关闭资源管理器窗口: " + Paths(outcome.windows.closed));
    }
    if (!outcome.windows.left.empty()) {
        part(u"资源管理器窗口未关闭: " + Paths(outcome.windows.left));
    }
    if (!outcome.windows.error.empty()) {
        part(u"无法查看资源管理器窗口: " + VisibleText(outcome.windows.error));
    }
    if (!outcome.closed.empty()) {
        part(u"已关闭: " + Names(outcome.closed));
    }
    if (!outcome.ended.empty()) {
        part(u"已结束: " + Names(outcome.ended));
    }
    if (outcome.shellEnded) {
        part(outcome.shellRestarted ? u"已重新启动 explorer.exe" : u"explorer.exe 未能重新启动");
    }
    for (const LeftHolder& left : outcome.left) {
        part(ProgramText(left.holder.program) + u" " + SpareWord(left.spared));
    }
    return line.empty() ? u"没有可处理的进程。" : line + u"。";
}

std::u16string EjectLine(char16_t letter, const EjectOutcome& outcome) {
    std::u16string text = EjectText(letter, outcome, {});
    return text.substr(0, text.find(u'\n'));  // the holders follow in the list, not here
}

std::u16string EndQuestion(const std::vector<Holder>& holders) {
    std::u16string text = u"确定要结束以下进程吗? 未保存的数据将会丢失。\n";
    for (const Holder& holder : holders) {
        text += u"\n" + ProgramText(holder.program) + u" (" + Number(holder.pid) + u")";
    }
    return text;
}

HolderReport LookAt(char16_t letter, HolderWork& work) {
    const DriveNames drive{letter, work.drives.DeviceName(letter)};
    if (drive.device.empty()) {
        throw PlatformError(u"QueryDosDeviceW " + DriveText(letter), u"驱动器不存在。");
    }
    return LookAtHolders(drive, work.scanner, work.drives, work.volumeUsers, work.processes).report;
}

DriveView LookAround(char16_t letter, HolderWork& work) {
    DriveView view;
    // The shell answers from Explorer's process, slowly at its first question: it is asked while
    // the processes are looked at, not after (after only when no thread is to be had).
    std::future<std::vector<ShellWindow>> windows = std::async(
        std::launch::async | std::launch::deferred, [&work] { return work.shellWindows.List(); });
    view.report = LookAt(letter, work);
    try {
        view.windows = WindowsOnDrive(windows.get(), letter);
    } catch (const PlatformError& error) {
        view.shellError = error.Operation() + u" / " + error.Detail();
    }
    view.lastVeto = NewestVetoLine(letter, work.vetoes, work.devices, work.drives, work.processes);
    return view;
}

std::u16string ViewLine(char16_t letter, const DriveView& view) {
    if (view.report.holders.empty() && !view.windows.empty()) {
        // A folder window alone holds the drive: counted as held, not as free to eject.
        return u"有 " + Number(view.windows.size()) + u" 个资源管理器窗口打开着 " +
               DriveText(letter) + u" 上的文件夹。选中后可关闭它们。";
    }
    const std::u16string line = ReportLine(letter, view.report);
    return view.shellError.empty()
               ? line
               : line + u" 无法查看资源管理器窗口: " + VisibleText(view.shellError);
}

WindowsClosing CloseWindows(char16_t letter, const std::optional<std::vector<uint64_t>>& ids,
                            HolderWork& work) {
    if (!ids) {
        return CloseExplorerWindows(work.shellWindows, letter, work.clock);
    }
    ChosenWindows chosen(work.shellWindows, *ids);
    return CloseExplorerWindows(chosen, letter, work.clock);
}

FreeOutcome CloseHolders(char16_t letter, const std::vector<uint32_t>& pids, HolderWork& work) {
    // The free policy over a look that sees only the chosen processes.
    const LookAtDrive look = [&] {
        HolderReport report = LookAt(letter, work);
        std::erase_if(report.holders, [&](const Holder& h) {
            return std::find(pids.begin(), pids.end(), h.pid) == pids.end();
        });
        return report;
    };
    return FreeDrive(look, work.processes, work.starter, work.clock, {false, kCloseWaitSeconds});
}

std::vector<Holder> Endable(const std::vector<Holder>& holders, ProcessTable& processes) {
    const std::vector<SpareReason> reasons = SpareReasons(holders, processes);
    std::vector<Holder> endable;
    for (size_t i = 0; i < holders.size(); ++i) {
        if (reasons[i] == SpareReason::None) {
            endable.push_back(holders[i]);
        }
    }
    return endable;
}

FreeOutcome EndHolders(const std::vector<Holder>& holders, HolderWork& work) {
    return holders::EndHolders(holders, work.processes, work.starter, work.clock);
}

}  // namespace varnel::holders

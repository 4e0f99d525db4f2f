// Explorer's folder windows as holders of a drive: a window showing a folder keeps it open.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/shell_windows.h"

namespace varnel::holders {

inline constexpr char16_t kExplorerWindowWord[] = u"资源管理器窗口";
inline constexpr char kExplorerWindowName[] = "explorer_window";

// Whether a folder path (E:, E:\ or E:\sub) lies on the drive of that letter (upper case).
bool IsOnDrive(const std::u16string& path, char16_t letter);

// The windows that show a folder on the drive, in the order given.
std::vector<ShellWindow> WindowsOnDrive(const std::vector<ShellWindow>& windows, char16_t letter);

// "  资源管理器窗口  E:\sub\n" per window.
std::u16string ExplorerWindowLines(const std::vector<ShellWindow>& windows);

// "无法查看资源管理器窗口: IShellWindows / ...\n" for the shell's failure ("operation / detail");
// empty when there was none.
std::u16string ShellErrorLine(const std::u16string& error);

// [{"kind": "explorer_window", "path": "E:\\sub", "id": 655360}, ...]
nlohmann::ordered_json ExplorerWindowsJson(const std::vector<ShellWindow>& windows);

}  // namespace varnel::holders

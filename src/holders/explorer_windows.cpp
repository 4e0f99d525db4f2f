#include "holders/explorer_windows.h"

#include "holders/drive_match.h"
#include "holders/visible_text.h"
#include "text/utf8.h"

namespace varnel::holders {

bool IsOnDrive(const std::u16string& path, char16_t letter) {
    const size_t end = path.find(u'\\');
    // The drive part, E: or E:\, decides; the rest of the path may be anything.
    const std::u16string drive = path.substr(0, end == std::u16string::npos ? end : end + 1);
    return letter != 0 && ParseDriveLetter(drive) == letter && drive.size() >= 2;
}

std::vector<ShellWindow> WindowsOnDrive(const std::vector<ShellWindow>& windows, char16_t letter) {
    std::vector<ShellWindow> onDrive;
    for (const ShellWindow& window : windows) {
        if (IsOnDrive(window.path, letter)) {
            onDrive.push_back(window);
        }
    }
    return onDrive;
}

std::u16string ExplorerWindowLines(const std::vector<ShellWindow>& windows) {
    std::u16string text;
    for (const ShellWindow& window : windows) {
        text +=
            u"  " + std::u16string(kExplorerWindowWord) + u"  " + VisibleText(window.path) + u"\n";
    }
    return text;
}

std::u16string ShellErrorLine(const std::u16string& error) {
    return error.empty() ? u"" : u"无法查看资源管理器窗口: " + VisibleText(error) + u"\n";
}

nlohmann::ordered_json ExplorerWindowsJson(const std::vector<ShellWindow>& windows) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ShellWindow& window : windows) {
        list.push_back(
            {{"kind", kExplorerWindowName}, {"path", ToUtf8(window.path)}, {"id", window.id}});
    }
    return list;
}

}  // namespace varnel::holders

// Names, command lines and log texts shared by the single actions and the one-click repair.
#pragma once

namespace varnel::repair_texts {

inline constexpr char16_t kRelatedProcess[] = u"rundll32.exe";
inline constexpr char16_t kShell[] = u"explorer.exe";
// The shell's command line: started minimized so the restart does not cover the window.
inline constexpr char16_t kShellCommandLine[] = u"explorer.exe";
// Opens the system's Safely Remove Hardware dialog.
inline constexpr char16_t kSafeRemovalCommandLine[] =
    u"RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll";

inline constexpr char16_t kLogClipboardCleared[] = u"已清空剪贴板...";
inline constexpr char16_t kLogRelatedProcessesCleared[] = u"已清除相关进程...";
inline constexpr char16_t kLogShellRestarted[] = u"已重启Explorer...";

}  // namespace varnel::repair_texts

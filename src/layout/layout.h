// The main window's layout and menus as data: positions in twips (1440 per inch) relative to the
// control's container, converted to pixels at the window's DPI when the window is laid out.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "varnel_version.h"

namespace varnel {

enum class ControlKind { Button, GroupBox, ListBox, StatusBar, Label };

// Command identifiers; the control's dialog ID doubles as its WM_COMMAND identifier.
enum ControlId : int {
    kFrame1 = 100,
    kCommand1 = 101,
    kCommand2 = 102,
    kCommand3 = 103,
    kCommand4 = 104,
    kCommand5 = 105,
    kFrame2 = 106,
    kS1 = 107,
    kLabel1 = 108,
    kList1 = 109,
};

enum MenuId : int {
    kMenuAbout = 200,
    kMenuUse = 201,
    kMenuTuichu = 203,
    kMenuGm = 204,
    kMenuVarnow = 205,
    kMenuOstride = 207,
    kMenuQingkong = 208,
    kMenuQk = 209,
    kMenuHolders = 210,
    kMenuHoldersNone = 211,   // the disabled item when no drive is present
    kMenuHoldersDrive = 212,  // the drive A:, followed by B: to Z:
};

struct ControlSpec {
    ControlId id;
    std::u16string_view name;
    ControlKind kind;
    std::optional<ControlId> container;  // a group box, or none for the window itself
    std::u16string_view caption;
    int left, top, width, height;  // twips, relative to the container
    int tabIndex;
    bool enabled;
    bool visible;
};

struct MenuSpec {
    MenuId id;  // separators carry the id of the item above them plus one
    std::u16string_view name;
    std::optional<MenuId> parent;  // none for a top-level menu
    std::u16string_view caption;   // "-" marks a separator
    bool inMenuBar;
};

struct TwipRect {
    int left, top, width, height;
};

struct PixelRect {
    int left, top, width, height;
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kClientWidthTwips = 8955;
inline constexpr int kClientHeightTwips = 8430;
inline constexpr int kStatusPanelTwips = 1440;  // panels 1 and 3; panel 2 takes the rest
inline constexpr unsigned kTimer1Interval = 1000;

inline constexpr std::u16string_view kFormCaption =
    u"Varnel解决U盘无法拔出工具 V" VARNEL_VERSION_U16;
inline constexpr std::u16string_view kCommand3Stop = u"清除Explorer";
inline constexpr std::u16string_view kCommand3Restart = u"重启Explorer";
inline constexpr std::u16string_view kHoldersNoDrive = u"(没有可移动驱动器)";
// In its place while no list of the drives has come yet (a drive slow to answer at the first look).
inline constexpr std::u16string_view kHoldersSeekingDrives = u"(正在查找驱动器...)";
inline constexpr std::u16string_view kStatusPanel1 = u"提示";
inline constexpr std::u16string_view kStatusChecking = u"正在检测是否有最新版本..";
inline constexpr std::u16string_view kUsageText =
    u"本程序可帮助您解决在拔出U盘/"
    u"硬盘时提示无法停止\"通用卷\"设备的问题，防止硬拔设备造成设备损坏。"
    u"您一定要确保您当前所有的文件已经关闭再使用本软件，否则使用多次也无任何效果，首先选择逐一排除"
    u"，"
    u"处理顺序按照从小到大排列，如果逐一排除无效,请点击一键强力修复下，欢迎使用Varnel更多免费产品:";

// Every control in creation order, which is also the tab order (by tab index).
std::span<const ControlSpec> Controls();
const ControlSpec& ControlById(ControlId id);

// The menu tree, top-level menus and their items in display order.
std::span<const MenuSpec> Menus();

// The control's rectangle in the window's client coordinates, in twips.
TwipRect WindowTwips(const ControlSpec& control);

// Twips to pixels at a DPI, rounding to the nearest pixel as MulDiv does.
int TwipsToPixels(int twips, unsigned dpi);
PixelRect ToPixels(const TwipRect& rect, unsigned dpi);

// Widths of the status bar's panels in pixels for a client width; each entry is the right edge
// of its panel as SB_SETPARTS wants it.
std::array<int, 3> StatusPanelEdges(int clientWidthPx, unsigned dpi);

}  // namespace varnel

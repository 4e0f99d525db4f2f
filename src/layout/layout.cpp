#include "layout/layout.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace varnel {

namespace {

using K = ControlKind;

// Sorted by tab index: creating the controls in this order makes the z-order the tab order.
constexpr ControlSpec kControls[] = {
    {kFrame1, u"Frame1", K::GroupBox, std::nullopt, u"逐一问题解决", 240, 240, 5295, 1215, 0, true,
     true},
    {kCommand1, u"Command1", K::Button, kFrame1, u"清空剪贴板", 120, 360, 1575, 615, 1, false,
     true},
    {kCommand2, u"Command2", K::Button, kFrame1, u"清除相关进程", 1800, 360, 1575, 615, 2, false,
     true},
    {kCommand3, u"Command3", K::Button, kFrame1, kCommand3Stop, 3480, 360, 1575, 615, 3, false,
     true},
    {kFrame2, u"Frame2", K::GroupBox, std::nullopt, u"操作过程", 240, 1680, 8415, 5895, 4, true,
     true},
    {kS1, u"S1", K::StatusBar, std::nullopt, u"", 0, 7815, 8955, 615, 5, true, true},
    {kLabel1, u"Label1", K::Label, std::nullopt, kUsageText, 11040, 4800, 27180, 360, 6, true,
     false},
    {kList1, u"List1", K::ListBox, kFrame2, u"", 120, 360, 8175, 5280, 7, true, true},
    {kCommand5, u"Command5", K::Button, std::nullopt, u"弹出安全删除硬件的窗口", 5640, 960, 3015,
     495, 8, false, true},
    {kCommand4, u"Command4", K::Button, std::nullopt, u"一键强力修复", 5640, 360, 3015, 495, 9,
     false, true},
};

constexpr MenuSpec kMenus[] = {
    {kMenuAbout, u"About", std::nullopt, u"关于软件", true},
    {kMenuUse, u"use", kMenuAbout, u"使用说明", true},
    {static_cast<MenuId>(kMenuUse + 1), u"x1", kMenuAbout, u"-", true},
    {kMenuTuichu, u"tuichu", kMenuAbout, u"退出软件", true},
    {kMenuGm, u"gm", std::nullopt, u"官方网站", true},
    {kMenuVarnow, u"varnow", kMenuGm, u"Varnel官网", true},
    {static_cast<MenuId>(kMenuVarnow + 1), u"x2", kMenuGm, u"-", true},
    {kMenuOstride, u"ostride", kMenuGm, u"Ostrid公司官网", true},
    {kMenuHolders, u"holders", std::nullopt, u"占用查询", true},
    {kMenuHoldersNone, u"noDrive", kMenuHolders, kHoldersNoDrive, true},
    {kMenuQingkong, u"qingkong", std::nullopt, u"清空日志", false},
    {kMenuQk, u"qk", kMenuQingkong, u"清空日志", false},
};

}  // namespace

std::span<const ControlSpec> Controls() {
    return kControls;
}

const ControlSpec& ControlById(ControlId id) {
    const auto* it = std::find_if(std::begin(kControls), std::end(kControls),
                                  [id](const ControlSpec& c) { return c.id == id; });
    if (it == std::end(kControls)) {
        throw std::out_of_range("unknown control id");
    }
    return *it;
}

std::span<const MenuSpec> Menus() {
    return kMenus;
}

TwipRect WindowTwips(const ControlSpec& control) {
    TwipRect r{control.left, control.top, control.width, control.height};
    if (control.container) {
        const ControlSpec& box = ControlById(*control.container);
        r.left += box.left;
        r.top += box.top;
    }
    return r;
}

int TwipsToPixels(int twips, unsigned dpi) {
    // MulDiv semantics: round half away from zero, in 64-bit to avoid overflow.
    const long long product = static_cast<long long>(twips) * static_cast<long long>(dpi);
    const long long half = kTwipsPerInch / 2;
    const long long rounded =
        product >= 0 ? (product + half) / kTwipsPerInch : -((-product + half) / kTwipsPerInch);
    return static_cast<int>(rounded);
}

PixelRect ToPixels(const TwipRect& rect, unsigned dpi) {
    // Edges are converted, not sizes, so that adjacent controls stay adjacent at every DPI.
    const int left = TwipsToPixels(rect.left, dpi);
    const int top = TwipsToPixels(rect.top, dpi);
    const int right = TwipsToPixels(rect.left + rect.width, dpi);
    const int bottom = TwipsToPixels(rect.top + rect.height, dpi);
    return {left, top, right - left, bottom - top};
}

std::array<int, 3> StatusPanelEdges(int clientWidthPx, unsigned dpi) {
    const int fixed = TwipsToPixels(kStatusPanelTwips, dpi);
    const int first = fixed;
    // Panel 2 springs, but never below its minimum of 1440 twips.
    const int second = std::max(first + fixed, clientWidthPx - fixed);
    return {first, second, -1};
}

}  // namespace varnel

#include "layout/holders_layout.h"

namespace varnel {
namespace {

using K = HoldersKind;

// The drive picker on top, the last veto under it, the list, two lines of state, the buttons
// along the bottom.
constexpr HoldersControl kHoldersControls[] = {
    {kHoldersDrive, K::DrivePicker, u"", {180, 180, 5400, 3000}},
    {kHoldersVeto, K::Note, u"", {180, 600, 9240, 480}},
    {kHoldersList, K::List, u"", {180, 1140, 9240, 3720}},
    {kHoldersLine, K::Line, u"", {180, 4980, 6900, 300}},
    {kHoldersProgress, K::Progress, u"", {7260, 5010, 2160, 240}},
    {kHoldersUninspected, K::Line, u"", {180, 5340, 4800, 300}},
    {kHoldersElevate, K::Button, u"以管理员身份查找", {5100, 5280, 2160, 375}},
    {kHoldersRefresh, K::Button, u"刷新", {180, 5940, 1260, 435}},
    {kHoldersClose, K::Button, u"关闭所选程序", {1560, 5940, 1860, 435}},
    {kHoldersEnd, K::Button, u"结束所选进程", {3540, 5940, 1860, 435}},
    {kHoldersFreeAll, K::Button, u"全部释放", {5520, 5940, 1620, 435}},
    {kHoldersEject, K::Button, u"弹出", {7260, 5940, 2160, 435}},
    {kHoldersForce, K::Button, u"强制弹出…", {7380, 5280, 2040, 375}},
};

}  // namespace

std::span<const HoldersControl> HoldersControls() {
    return kHoldersControls;
}

TwipRect HoldersListPlace(bool vetoShown) {
    TwipRect list{}, veto{};
    for (const HoldersControl& control : kHoldersControls) {
        if (control.id == kHoldersList) {
            list = control.place;
        } else if (control.id == kHoldersVeto) {
            veto = control.place;
        }
    }
    if (!vetoShown) {
        list.height += list.top - veto.top;
        list.top = veto.top;
    }
    return list;
}

}  // namespace varnel

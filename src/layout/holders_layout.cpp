#include "layout/holders_layout.h"

namespace varnel {
namespace {

using K = HoldersKind;

// The drive picker on top, the list under it, two lines of state, the buttons along the bottom.
constexpr HoldersControlSpec kHoldersControls[] = {
    {kHoldersDrive, K::DrivePicker, u"", {180, 180, 5400, 3000}},
    {kHoldersList, K::List, u"", {180, 660, 9240, 3840}},
    {kHoldersLine, K::Line, u"", {180, 4620, 6900, 300}},
    {kHoldersProgress, K::Progress, u"", {7260, 4650, 2160, 240}},
    {kHoldersUninspected, K::Line, u"", {180, 4980, 4800, 300}},
    {kHoldersElevate, K::Button, u"以管理员身份查找", {5100, 4920, 2160, 375}},
    {kHoldersRefresh, K::Button, u"刷新", {180, 5580, 1260, 435}},
    {kHoldersClose, K::Button, u"关闭所选程序", {1560, 5580, 1860, 435}},
    {kHoldersEnd, K::Button, u"结束所选进程", {3540, 5580, 1860, 435}},
    {kHoldersFreeAll, K::Button, u"全部释放", {5520, 5580, 1620, 435}},
    {kHoldersEject, K::Button, u"弹出", {7260, 5580, 2160, 435}},
    {kHoldersForce, K::Button, u"强制弹出…", {7380, 4920, 2040, 375}},
};

}  // namespace

std::span<const HoldersControlSpec> HoldersControls() {
    return kHoldersControls;
}

}  // namespace varnel

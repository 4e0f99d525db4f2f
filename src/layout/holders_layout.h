// The holders window's layout as data: positions in twips in the client area, converted to
// pixels at the window's DPI as the main window's are.
#pragma once

#include <span>
#include <string_view>

#include "layout/layout.h"

namespace varnel {

enum class HoldersKind { DrivePicker, List, Line, Progress, Button };

// Control identifiers, which double as WM_COMMAND identifiers.
enum HoldersControlId : int {
    kHoldersDrive = 300,
    kHoldersList = 301,
    kHoldersLine = 302,
    kHoldersProgress = 303,
    kHoldersUninspected = 304,
    kHoldersElevate = 305,
    kHoldersRefresh = 306,
    kHoldersClose = 307,
    kHoldersEnd = 308,
    kHoldersFreeAll = 309,
    kHoldersEject = 310,
    kHoldersForce = 311,  // shown after a veto
};

struct HoldersControlSpec {
    HoldersControlId id;
    HoldersKind kind;
    std::u16string_view caption;  // the eject button's is set for its drive
    TwipRect place;
};

inline constexpr int kHoldersClientWidthTwips = 9600;
inline constexpr int kHoldersClientHeightTwips = 6240;
// The list's columns' widths in twips: program, process id, what it holds.
inline constexpr int kHoldersColumnTwips[] = {2040, 1080, 5880};

// Every control in tab order.
std::span<const HoldersControlSpec> HoldersControls();

}  // namespace varnel

// The holders window's layout as data: positions in twips in the client area, converted to
// pixels at the window's DPI as the main window's are.
#pragma once

#include <span>
#include <string_view>

#include "layout/layout.h"

namespace varnel {

// Note: a static line of up to two wrapped lines, hidden while it has no text.
enum class HoldersKind { DrivePicker, List, Line, Note, Progress, Button };

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
    kHoldersVeto = 312,   // Windows' newest record of a refused removal of the drive
};

struct HoldersControl {
    HoldersControlId id;
    HoldersKind kind;
    std::u16string_view caption;  // the eject button's is set for its drive
    TwipRect place;
};

inline constexpr int kHoldersClientWidthTwips = 9600;
inline constexpr int kHoldersClientHeightTwips = 6600;
// The list's columns' widths in twips: program, process id, what it holds, the note on it.
inline constexpr int kHoldersColumnTwips[] = {1800, 900, 3420, 2880};

// Every control in tab order.
std::span<const HoldersControl> HoldersControls();

// Where the list goes: as the table says under the veto line, or up in its place while that line
// is hidden.
TwipRect HoldersListPlace(bool vetoShown);

}  // namespace varnel

// The holders window's list: the rows of the last look, which the list asks for as it paints
// them, the rows chosen, a column's sort and typed letters.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

#include "app/holders_window.h"
#include "layout/holders_layout.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

using namespace holders;

void HoldersWindow::FillList() {
    SortHolders(report_.holders, sortColumn_, ascending_);
    rows_.clear();
    for (const Holder& holder : report_.holders) {
        rows_.push_back(RowOf(holder));
    }
    for (const ShellWindow& window : windows_) {
        rows_.push_back(RowOf(window));
    }
    // A new list: nothing chosen in it yet, and its rows painted afresh.
    const HWND list = Item(kHoldersList);
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&none));
    SendMessageW(list, LVM_SETITEMCOUNT, rows_.size(), 0);
    InvalidateRect(list, nullptr, TRUE);
}

HoldersWindow::Selection HoldersWindow::Selected() const {
    Selection selected;
    const HWND list = Item(kHoldersList);
    const size_t holders = report_.holders.size();
    for (int at = -1;
         (at = int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(at), LVNI_SELECTED))) >= 0 &&
         size_t(at) < holders + windows_.size();) {
        if (size_t(at) < holders) {
            selected.holders.push_back(report_.holders[size_t(at)]);
        } else {
            selected.windows.push_back(windows_[size_t(at) - holders].id);
        }
    }
    return selected;
}

LRESULT HoldersWindow::OnNotify(NMHDR& header) {
    if (header.idFrom != kHoldersList) {
        return 0;
    }
    switch (header.code) {
        case LVN_COLUMNCLICK: {
            const auto column = Column(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
            ascending_ = column == sortColumn_ ? !ascending_ : true;
            sortColumn_ = column;
            FillList();
            break;
        }
        case LVN_GETDISPINFOW: {
            LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
            if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0) {
                const std::u16string text = CellText(item.iItem, item.iSubItem);
                size_t length = std::min(text.size(), size_t(item.cchTextMax - 1));
                if (length < text.size() && length > 0 && text[length - 1] >= 0xD800 &&
                    text[length - 1] <= 0xDBFF) {
                    --length;  // a cut text never ends in half a character
                }
                std::copy_n(Wide(text), length, item.pszText);
                item.pszText[length] = L'\0';
            }
            break;
        }
        case LVN_ODFINDITEMW: {
            // Typing a program's first letters goes to the next row whose program begins with
            // them, as in any list.
            const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
            if ((find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find.lvfi.psz == nullptr) {
                return -1;
            }
            return FindRow(find.iStart, FromWide(find.lvfi.psz, wcslen(find.lvfi.psz)));
        }
        default:
            break;
    }
    return 0;
}

std::u16string HoldersWindow::CellText(int row, int column) const {
    if (row < 0 || size_t(row) >= rows_.size()) {
        return {};
    }
    const HolderRow& texts = rows_[size_t(row)];
    switch (column) {
        case 0:
            return texts.program;
        case 1:
            return texts.pid;
        case 2:
            return texts.holds;
        case 3:
            return texts.note;
        default:
            return {};
    }
}

LRESULT HoldersWindow::FindRow(int start, const std::u16string& typed) const {
    const size_t count = rows_.size();
    const size_t first = start >= 0 && size_t(start) < count ? size_t(start) : 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t row = (first + i) % count;
        const std::u16string& program = rows_[row].program;
        if (program.size() >= typed.size() &&
            CompareStringOrdinal(Wide(program), int(typed.size()), Wide(typed), int(typed.size()),
                                 TRUE) == CSTR_EQUAL) {
            return LRESULT(row);
        }
    }
    return -1;
}

}  // namespace varnel::win32

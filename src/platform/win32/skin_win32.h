// The skin: colours read from the optional skin file, applied by the window as it paints.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/skin_file.h"
#include "platform/win32/scoped_gdi.h"

namespace varnel::win32 {

// A skin colour (0x00RRGGBB) as GDI wants it.
inline COLORREF ToColorRef(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// One window's skin: its colours and the brushes it paints with, released with it.
class Skin {
public:
    // Reads the skin file and makes its brushes. Returns 1 when a skin is in effect, 0 when the
    // native look stays (no file, unreadable, or not a valid skin). Never fails.
    int Attach(const std::u16string& path);

    // The colours in effect, or null for the native look.
    const SkinColors* Colors() const { return colors_ ? &*colors_ : nullptr; }
    // The brushes of the window's and the log's colours; null where the skin leaves them native.
    HBRUSH WindowBrush() const { return windowBrush_.get(); }
    HBRUSH ListBrush() const { return listBrush_.get(); }

private:
    std::optional<SkinColors> colors_;
    ScopedGdiObject<HBRUSH> windowBrush_;
    ScopedGdiObject<HBRUSH> listBrush_;
};

}  // namespace varnel::win32

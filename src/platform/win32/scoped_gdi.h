// Ownership of GDI objects (fonts, brushes) and of menus that no window owns: released when the
// owner goes.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace varnel::win32 {

struct GdiObjectDeleter {
    void operator()(void* object) const { DeleteObject(static_cast<HGDIOBJ>(object)); }
};

struct MenuDestroyer {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};

template <typename Handle>
using ScopedGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;

using ScopedMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

}  // namespace varnel::win32

// The system clipboard.
#pragma once

#include "platform/clipboard.h"

namespace varnel::win32 {

class Win32Clipboard : public Clipboard {
public:
    // Another program may hold the clipboard open for a moment, so opening it is tried for about
    // 100 ms before the attempt counts as failed.
    void Empty() override;
};

}  // namespace varnel::win32

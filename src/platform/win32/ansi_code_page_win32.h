// Character codes in the running system's ANSI code page (936 on the target systems).
#pragma once

#include "platform/text_code_page.h"

namespace varnel::win32 {

class Win32AnsiCodePage : public AnsiCodePage {
public:
    // Converts the one unit with WideCharToMultiByte(CP_ACP). A unit the code page cannot hold
    // takes the code of the conversion's replacement character.
    int16_t CodeOf(char16_t unit) const override;
};

}  // namespace varnel::win32

// ShellExecuteExW behind the portable interface.
#pragma once

#include "platform/shell_starter.h"

namespace varnel::win32 {

class ShellStarterWin32 : public ShellStarter {
public:
    void Execute(const std::u16string& verb, const std::u16string& path,
                 const std::u16string& arguments) override;
};

}  // namespace varnel::win32

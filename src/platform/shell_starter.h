// Starting a program through the shell with a verb: "runas" starts it elevated, after the
// system's consent prompt.
#pragma once

#include <string>

namespace varnel {

class ShellStarter {
public:
    virtual ~ShellStarter() = default;
    // Returns once the program is started. Throws PlatformError when it cannot be, the user's
    // refusal of the consent prompt included.
    virtual void Execute(const std::u16string& verb, const std::u16string& path,
                         const std::u16string& arguments) = 0;
};

}  // namespace varnel

#pragma once

namespace varnel {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Removes every format from the system clipboard. Throws PlatformError on failure.
    virtual void Empty() = 0;
};

}  // namespace varnel

// Ends this process's TCP connections to one port from outside the code that owns them.
#pragma once

#include <cstdint>

namespace varnel::win32 {

// Shuts down every connected TCP socket of this process whose peer port is `port`; returns how
// many. WinHTTP under Wine goes on reading an answer that never ends (header lines without end)
// after its request handle is closed; a shut-down socket ends that read at once. Windows closes
// the socket with the handle, so this is for a worker that outlives its cancellation.
int CutConnectionsTo(uint16_t port);

}  // namespace varnel::win32

// Listening sockets on 127.0.0.1 for the stand-in servers. Include before windows.h.
#pragma once

#include <winsock2.h>

namespace e2e {

// A TCP socket listening on 127.0.0.1:port (0: any free port); `port` receives the port it
// took. With `reusable`, a port just left can be taken again. INVALID_SOCKET on failure.
SOCKET ListenOnLoopback(unsigned short& port, bool reusable = false);

} // namespace e2e

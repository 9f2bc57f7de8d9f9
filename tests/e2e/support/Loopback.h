// Sockets on 127.0.0.1 for the stand-in servers and the raw clients. Include before windows.h.
#pragma once

#include <winsock2.h>

namespace e2e {

// 127.0.0.1:port.
sockaddr_in LoopbackAddress(unsigned short port);

// A TCP socket listening on 127.0.0.1:port (0: any free port); `port` receives the port it
// took. The address is reusable, so a port just left can be taken again. INVALID_SOCKET on
// failure.
SOCKET ListenOnLoopback(unsigned short& port);

} // namespace e2e

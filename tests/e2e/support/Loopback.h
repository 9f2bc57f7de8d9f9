// Sockets on 127.0.0.1 for the stand-in servers and the raw clients. Include before windows.h.
#pragma once

#include <winsock2.h>

#include <string>

namespace e2e {

// 127.0.0.1:port.
sockaddr_in LoopbackAddress(unsigned short port);

// A TCP socket listening on 127.0.0.1:port (0: any free port); `port` receives the port it
// took. The address is reusable, so a port just left can be taken again. INVALID_SOCKET on
// failure.
SOCKET ListenOnLoopback(unsigned short& port);

// Sends all of `bytes`; false when the connection fails first.
bool SendAll(SOCKET s, const std::string& bytes);

// Waits until `s` has bytes (or end of stream) to read, or a connection to accept; false once
// `stopped` says so. The wait is cut into short slices so that a server's threads notice a stop
// without one thread closing another's socket.
template <class Stopped> bool WaitReadable(SOCKET s, Stopped stopped) {
    for (;;) {
        if (stopped()) return false;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval slice = {0, 50000};
        const int ready = select(0, &set, nullptr, nullptr, &slice);
        if (ready < 0) return false;
        if (ready > 0) return true;
    }
}

} // namespace e2e

#include <winsock2.h>
#include <ws2tcpip.h>

#include "live/RtmpProbe.h"

#include "framework/Handle.h"
#include "framework/core/Ticks.h"

#include <memory>
#include <string>

namespace {

struct Probe {
    HWND window;
    UINT message;
    WPARAM token;
    RtmpServer server;
};

// A share of the probe's time, counted from its start.
struct Slice {
    DWORD start;
    DWORD ms;
    // What is left of it, 0 once it has run out.
    DWORD Left() const {
        const DWORD spent = TicksSince(start, ::GetTickCount());
        return spent < ms ? ms - spent : 0;
    }
};

// Waits until `s` can be written (`write`) or read, within the slice. A connection that fails
// shows in the exception set only: without it a refusal would take the slice's whole time.
bool WaitFor(SOCKET s, bool write, const Slice& slice) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_SET(s, &ready);
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    const DWORD left = slice.Left();
    timeval timeout{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
    return ::select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &timeout) > 0 &&
           FD_ISSET(s, &ready);
}

bool Connect(SOCKET s, const addrinfo& address, const Slice& slice) {
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return false;
    if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return true;
    if (::WSAGetLastError() != WSAEWOULDBLOCK || !WaitFor(s, true, slice)) return false;
    int error = 0;
    int size = sizeof error;
    return ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
           error == 0;
}

// One address: connect, send C0 and C1, read until S0 and S1 are in or the peer lets go.
bool Greets(const addrinfo& address, const Slice& slice) {
    const SOCKET s = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET) return false;
    // Sockets are inheritable: an encoder started meanwhile would keep the connection open.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    std::string greeting;
    if (Connect(s, address, slice)) {
        const std::string hello = RtmpHandshakeStart();
        size_t sent = 0;
        while (sent < hello.size() && WaitFor(s, true, slice)) {
            const int n = ::send(s, hello.data() + sent, static_cast<int>(hello.size() - sent), 0);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        char buffer[kRtmpServerGreetingBytes];
        while (sent == hello.size() && greeting.size() < kRtmpServerGreetingBytes &&
               WaitFor(s, false, slice)) {
            const int n = ::recv(s, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            greeting.append(buffer, static_cast<size_t>(n));
        }
    }
    ::closesocket(s);
    return IsRtmpServerGreeting(greeting);
}

bool Answers(const RtmpServer& server) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* addresses = nullptr;
    if (::getaddrinfo(server.host.c_str(), std::to_string(server.port).c_str(), &hints,
                      &addresses) != 0)
        return false;
    // The time counts from here: a slow resolver must not eat the exchange's share.
    const Slice probe{::GetTickCount(), kRtmpProbeTimeoutMs};
    int untried = 0;
    for (const addrinfo* address = addresses; address; address = address->ai_next)
        ++untried;
    // Each address gets an even share of what is left, so that one that never answers (an
    // IPv6 address of a server that listens on IPv4 only) leaves time for the others.
    bool answers = false;
    for (const addrinfo* address = addresses; address && !answers && probe.Left() > 0;
         address = address->ai_next, --untried)
        answers = Greets(*address, Slice{::GetTickCount(), probe.Left() / untried});
    ::freeaddrinfo(addresses);
    return answers;
}

DWORD WINAPI RunProbe(void* parameter) {
    const std::unique_ptr<Probe> probe(static_cast<Probe*>(parameter));
    WSADATA data;
    const bool started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    const bool answers = started && Answers(probe->server);
    if (started) ::WSACleanup();
    // A window that has gone meanwhile just does not get it.
    ::PostMessageA(probe->window, probe->message, probe->token, answers ? 1 : 0);
    return 0;
}

} // namespace

bool StartRtmpProbe(HWND window, UINT message, WPARAM token, const RtmpServer& server) {
    auto probe = std::make_unique<Probe>(Probe{window, message, token, server});
    CHandle thread(::CreateThread(nullptr, 0, RunProbe, probe.get(), 0, nullptr));
    if (!thread.IsValid()) return false;
    probe.release();
    return true;
}

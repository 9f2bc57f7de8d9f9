// The first step of an RTMP server on 127.0.0.1, for the checks that Sonafeed makes of the
// publish address's server while its encoder is down: it answers the handshake's opening, or
// accepts each connection and drops it at once, as a proxy in front of a dead server does, or
// does each in turn, as a flapping server.
// Nothing is ever published to it: the encoder double publishes nowhere.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace e2e {

class RtmpStandIn {
  public:
    enum class Mode { kAnswer, kDrop, kFlap };

    explicit RtmpStandIn(Mode mode);
    ~RtmpStandIn();
    RtmpStandIn(const RtmpStandIn&) = delete;
    RtmpStandIn& operator=(const RtmpStandIn&) = delete;

    // "rtmp://127.0.0.1:<port>/live/s".
    std::string PublishAddress() const;
    unsigned short Port() const { return port_; }
    // For the connections accepted from now on.
    void SetMode(Mode mode) { mode_ = mode; }
    // Connections accepted so far; each has been served in the mode it found.
    int Connections() const { return connections_; }

  private:
    void AcceptLoop();

    std::uintptr_t listener_; // a SOCKET, so that this header needs no winsock2.h
    unsigned short port_ = 0;
    std::atomic<Mode> mode_;
    std::atomic<int> connections_{0};
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
};

} // namespace e2e

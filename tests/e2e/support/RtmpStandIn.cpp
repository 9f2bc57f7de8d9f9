#include "tests/e2e/support/Loopback.h"

#include "tests/e2e/support/RtmpStandIn.h"

namespace e2e {

namespace {
constexpr size_t kHandshakePartBytes = 1536;
// C0 and C1, as a server reads them before it answers.
constexpr size_t kClientOpeningBytes = 1 + kHandshakePartBytes;
} // namespace

RtmpStandIn::RtmpStandIn(Mode mode) : mode_(mode) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ListenOnLoopback(port_);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

RtmpStandIn::~RtmpStandIn() {
    stopping_ = true;
    acceptor_.join();
    closesocket(listener_);
    WSACleanup();
}

std::string RtmpStandIn::PublishAddress() const {
    return "rtmp://127.0.0.1:" + std::to_string(port_) + "/live/s";
}

void RtmpStandIn::AcceptLoop() {
    auto stopped = [this] { return stopping_.load(); };
    while (WaitReadable(listener_, stopped)) {
        const SOCKET connection = accept(listener_, nullptr, nullptr);
        if (connection == INVALID_SOCKET) continue;
        // Read before the count, so that a test that saw the count knows how it was served.
        const Mode mode = mode_ != Mode::kFlap ? mode_.load()
                          : connections_ % 2   ? Mode::kAnswer
                                               : Mode::kDrop;
        ++connections_;
        std::string opening;
        char buffer[kClientOpeningBytes];
        while (mode == Mode::kAnswer && opening.size() < kClientOpeningBytes &&
               WaitReadable(connection, stopped)) {
            const int got = recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            opening.append(buffer, static_cast<size_t>(got));
        }
        // S0 (version 3), S1 and S2.
        if (opening.size() >= kClientOpeningBytes)
            SendAll(connection, '\3' + std::string(2 * kHandshakePartBytes, 'S'));
        closesocket(connection);
    }
}

} // namespace e2e

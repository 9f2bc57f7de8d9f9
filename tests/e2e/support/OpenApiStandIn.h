// An HTTP/1.1 server on 127.0.0.1 standing in for the service's open API: records every
// request and answers as the test says, also slowly, partly or never, and can stop listening
// and listen again. One request per connection, answered with "Connection: close"; chunked
// request bodies are not supported.
#pragma once

#include <windows.h>

#include <cstdint>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/e2e/support/WaitUntil.h"

namespace e2e {

// The service's answer to a request it accepts.
inline constexpr char kAccepted[] = "{\"Code\":0,\"Flag\":100,\"Msg\":\"ok\"}";

struct HttpRequest {
    std::string method;
    std::string target;
    std::string version;
    // The request line and header lines as received, through the blank line.
    std::string head;
    std::vector<std::pair<std::string, std::string>> headers;
    // Content-Length bytes after the head.
    std::string body;
    // GetTickCount() when the request had arrived whole.
    DWORD received_at = 0;

    // The first header of that name, compared without case; "" when absent.
    std::string Header(const std::string& name) const;
};

struct HttpAnswer {
    enum class Kind {
        kNormal,
        kCloseWithoutAnswer,
        // Headers announce the whole body, half of it is sent, the connection closes.
        kCloseMidBody,
        // The status line and headers, then nothing until the stand-in stops.
        kHeadThenSilence,
    };
    int status = 200;
    std::string body;
    // Before anything is sent, closing included; INFINITE: until the stand-in stops.
    DWORD delay_ms = 0;
    Kind kind = Kind::kNormal;
    std::string content_type = "text/plain";
    // The body goes out in this many chunks of chunked transfer encoding (0: Content-Length).
    size_t chunks = 0;
    // The answer as sent, head included, goes out in parts of this many bytes with gap_ms
    // between them (0: at once).
    size_t part_bytes = 0;
    DWORD gap_ms = 0;
    // The gaps last only until ReleaseHeldAnswers(); then the rest goes out at once.
    bool held = false;
};

class OpenApiStandIn {
  public:
    OpenApiStandIn();
    ~OpenApiStandIn();
    OpenApiStandIn(const OpenApiStandIn&) = delete;
    OpenApiStandIn& operator=(const OpenApiStandIn&) = delete;

    // 0 when the server could not listen.
    unsigned short Port() const { return port_; }
    // "127.0.0.1:port", for SONAFEED_OPENAPI.
    std::string Address() const;

    // What every request gets once the queue is empty; 200 with an empty body at first.
    void SetDefaultAnswer(const HttpAnswer& answer);
    // Answers consumed one per request, in order, before the default.
    void QueueAnswer(const HttpAnswer& answer);

    std::vector<HttpRequest> Requests() const;
    // True once at least `count` requests have been received whole (before their answer).
    bool WaitForRequests(size_t count, DWORD timeout_ms = kPatience) const;

    // Held answers go out whole from now on, also those still being sent.
    void ReleaseHeldAnswers();

    // Connections to the port are refused from now on; exchanges already accepted go on.
    void StopListening();
    // Listens on the same port again; false when it cannot.
    bool ListenAgain();

    // A port on 127.0.0.1 that nothing listens on: bound, read, closed.
    static unsigned short ClosedPort();

  private:
    bool Listen();
    void AcceptLoop();
    // Waits `ms` or until the stand-in stops; false when it stops.
    bool Pause(DWORD ms);
    // Sockets are held as their integer value so that this header needs no winsock2.h, which
    // must come before windows.h in every file that includes it.
    using Socket = std::uintptr_t;
    void Serve(Socket connection);

    Socket listener_ = ~Socket(0);
    unsigned short port_ = 0;
    std::thread acceptor_;

    mutable std::mutex mutex_;
    std::condition_variable stopping_changed_;
    bool stopping_ = false;
    bool listening_ = false;
    bool released_ = false;
    std::vector<std::thread> servers_;
    std::vector<HttpRequest> requests_;
    std::deque<HttpAnswer> queued_;
    HttpAnswer default_;
};

} // namespace e2e

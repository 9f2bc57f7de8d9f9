// An HTTP/1.1 server on 127.0.0.1 standing in for the service's open API: records every
// request and answers as the test says. One request per connection, answered with
// "Connection: close"; chunked request bodies are not supported.
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

struct HttpRequest {
    std::string method;
    std::string target;
    std::string version;
    // The request line and header lines as received, through the blank line.
    std::string head;
    std::vector<std::pair<std::string, std::string>> headers;
    // Content-Length bytes after the head.
    std::string body;

    // The first header of that name, compared without case; "" when absent.
    std::string Header(const std::string& name) const;
};

struct HttpAnswer {
    enum class Kind {
        kNormal,
        kCloseWithoutAnswer,
        // Headers announce the whole body, half of it is sent, the connection closes.
        kCloseMidBody,
    };
    int status = 200;
    std::string body;
    DWORD delay_ms = 0; // before anything is sent, closing included
    Kind kind = Kind::kNormal;
    std::string content_type = "text/plain";
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

    // A port on 127.0.0.1 that nothing listens on: bound, read, closed.
    static unsigned short ClosedPort();

  private:
    void AcceptLoop();
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
    std::vector<SOCKET> open_;
    std::vector<std::thread> servers_;
    std::vector<HttpRequest> requests_;
    std::deque<HttpAnswer> queued_;
    HttpAnswer default_;
};

} // namespace e2e

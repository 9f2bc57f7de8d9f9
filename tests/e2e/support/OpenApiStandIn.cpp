#include "tests/e2e/support/Loopback.h"

#include "tests/e2e/support/OpenApiStandIn.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace e2e {

static_assert(sizeof(SOCKET) == sizeof(std::uintptr_t), "sockets held as integers");

namespace {

constexpr size_t kMaxHead = 64 * 1024;
constexpr size_t kMaxBody = 16 * 1024 * 1024;

// Header names are ASCII.
bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& s) {
    size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

const char* Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// Splits the head into the request line's parts and the header list.
void ParseHead(HttpRequest& request) {
    size_t line_end = request.head.find("\r\n");
    std::string line = request.head.substr(0, line_end);
    size_t first = line.find(' ');
    size_t last = line.rfind(' ');
    if (first != std::string::npos && last > first) {
        request.method = line.substr(0, first);
        request.target = line.substr(first + 1, last - first - 1);
        request.version = line.substr(last + 1);
    }
    for (size_t pos = line_end + 2; pos < request.head.size();) {
        size_t end = request.head.find("\r\n", pos);
        if (end == std::string::npos || end == pos) break;
        std::string header = request.head.substr(pos, end - pos);
        size_t colon = header.find(':');
        if (colon != std::string::npos)
            request.headers.emplace_back(Trim(header.substr(0, colon)),
                                         Trim(header.substr(colon + 1)));
        pos = end + 2;
    }
}

// `body` in chunked transfer encoding, in `chunks` chunks of nearly equal size.
std::string Chunked(const std::string& body, size_t chunks) {
    std::string encoded;
    const size_t size = std::max<size_t>((body.size() + chunks - 1) / chunks, 1);
    for (size_t pos = 0; pos < body.size(); pos += size) {
        const std::string chunk = body.substr(pos, size);
        char length[16];
        std::snprintf(length, sizeof length, "%lx\r\n", static_cast<unsigned long>(chunk.size()));
        encoded += length + chunk + "\r\n";
    }
    return encoded + "0\r\n\r\n";
}

} // namespace

std::string HttpRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (EqualNoCase(key, name)) return value;
    return {};
}

OpenApiStandIn::OpenApiStandIn() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    Listen();
}

OpenApiStandIn::~OpenApiStandIn() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    stopping_changed_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    // The acceptor has ended: the list no longer grows.
    for (std::thread& server : servers_)
        server.join();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    WSACleanup();
}

bool OpenApiStandIn::Listen() {
    unsigned short port = port_;
    listener_ = ListenOnLoopback(port);
    if (listener_ == INVALID_SOCKET) return false;
    port_ = port;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listening_ = true;
    }
    acceptor_ = std::thread(&OpenApiStandIn::AcceptLoop, this);
    return true;
}

void OpenApiStandIn::StopListening() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listening_ = false;
    }
    if (acceptor_.joinable()) acceptor_.join();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    listener_ = INVALID_SOCKET;
}

bool OpenApiStandIn::ListenAgain() {
    return listener_ == INVALID_SOCKET && Listen();
}

std::string OpenApiStandIn::Address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

void OpenApiStandIn::SetDefaultAnswer(const HttpAnswer& answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    default_ = answer;
}

void OpenApiStandIn::QueueAnswer(const HttpAnswer& answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back(answer);
}

void OpenApiStandIn::ReleaseHeldAnswers() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
}

std::vector<HttpRequest> OpenApiStandIn::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool OpenApiStandIn::WaitForRequests(size_t count, DWORD timeout_ms) const {
    return WaitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return requests_.size() >= count;
        },
        timeout_ms);
}

unsigned short OpenApiStandIn::ClosedPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    unsigned short port = 0;
    closesocket(ListenOnLoopback(port));
    WSACleanup();
    return port;
}

bool OpenApiStandIn::Pause(DWORD ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !stopping_changed_.wait_for(lock, std::chrono::milliseconds(ms),
                                       [this] { return stopping_; });
}

void OpenApiStandIn::AcceptLoop() {
    auto stopped = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        return stopping_ || !listening_;
    };
    while (WaitReadable(listener_, stopped)) {
        SOCKET connection = accept(listener_, nullptr, nullptr);
        if (connection == INVALID_SOCKET) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        servers_.emplace_back(&OpenApiStandIn::Serve, this, connection);
    }
}

void OpenApiStandIn::Serve(Socket connection) {
    auto stopped = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        return stopping_;
    };
    // Reads into `received` until `enough` says it holds what is wanted; false on end of
    // stream, error or stop.
    std::string received;
    auto read_until = [&](auto enough) {
        char chunk[4096];
        while (!enough()) {
            if (!WaitReadable(connection, stopped)) return false;
            int got = recv(connection, chunk, sizeof chunk, 0);
            if (got <= 0) return false;
            received.append(chunk, static_cast<size_t>(got));
        }
        return true;
    };

    HttpRequest request;
    size_t head_end = std::string::npos;
    bool whole = read_until([&] {
        head_end = received.find("\r\n\r\n");
        return head_end != std::string::npos || received.size() > kMaxHead;
    });
    if (whole && head_end != std::string::npos) {
        request.head = received.substr(0, head_end + 4);
        ParseHead(request);
        size_t length = std::min<size_t>(
            std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10), kMaxBody);
        whole = read_until([&] { return received.size() >= request.head.size() + length; });
        request.body = received.substr(request.head.size(), length);
        request.received_at = GetTickCount();
    }
    if (!whole || head_end == std::string::npos) {
        closesocket(connection);
        return;
    }

    HttpAnswer answer;
    {
        // Answers go to requests in the order they were recorded.
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        answer = queued_.empty() ? default_ : queued_.front();
        if (!queued_.empty()) queued_.pop_front();
    }
    if (Pause(answer.delay_ms) && answer.kind != HttpAnswer::Kind::kCloseWithoutAnswer) {
        const bool cut = answer.kind == HttpAnswer::Kind::kCloseMidBody;
        const bool chunked = answer.chunks > 0 && answer.kind == HttpAnswer::Kind::kNormal;
        std::string body = chunked ? Chunked(answer.body, answer.chunks) : answer.body;
        std::string length = "Content-Length: " +
                             std::to_string(cut ? std::max<size_t>(body.size(), 1) : body.size());
        if (cut) body.resize(body.size() / 2);
        if (answer.kind == HttpAnswer::Kind::kHeadThenSilence) body.clear();
        const std::string reply = "HTTP/1.1 " + std::to_string(answer.status) + " " +
                                  Reason(answer.status) +
                                  "\r\nContent-Type: " + answer.content_type + "\r\n" +
                                  (chunked ? "Transfer-Encoding: chunked" : length) +
                                  "\r\nConnection: close\r\n\r\n" + body;
        const size_t part = answer.part_bytes ? answer.part_bytes : reply.size();
        auto released = [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return answer.held && released_;
        };
        for (size_t sent = 0; sent < reply.size(); sent += part) {
            if ((sent > 0 && !released() && !Pause(answer.gap_ms)) ||
                !SendAll(connection, reply.substr(sent, part)))
                break;
        }
        if (answer.kind == HttpAnswer::Kind::kHeadThenSilence) Pause(INFINITE);
    }
    shutdown(connection, SD_SEND);
    closesocket(connection);
}

} // namespace e2e

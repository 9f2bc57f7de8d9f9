// The open API client: one HTTP POST per call, each in its own Internet session.
#include "relay/OpenApiClient.h"

#include "framework/CodePage.h"
#include "framework/Handle.h"
#include "framework/Internet.h"
#include "relay/core/PullRequest.h"

#include <atomic>
#include <memory>

namespace {
constexpr DWORD kHttpOk = 200;
// An answer is judged on at most this much of its body.
constexpr size_t kMaxAnswerBytes = 1 << 20;
// The whole exchange, connecting included, ends within this time; sending the request and each
// receive of the answer are bounded by it on their own too.
constexpr DWORD kRequestDeadlineMs = 30000;

// The open API host, or the one that SONAFEED_OPENAPI names, read at each request.
OpenApiEndpoint CurrentEndpoint() {
    char value[256] = {};
    const DWORD length = ::GetEnvironmentVariableA(kOpenApiEnvironment, value, sizeof value);
    return ParseOpenApiEndpoint(length > 0 && length < sizeof value ? value : nullptr);
}

// Reads until the end of the body, so that a slow or chunked answer is judged whole.
std::string ReadAnswer(CHttpFile& request) {
    std::string answer;
    char chunk[8192];
    while (answer.size() < kMaxAnswerBytes) {
        const UINT read =
            request.Read(chunk, std::min(sizeof chunk, kMaxAnswerBytes - answer.size()));
        if (read == 0) break;
        answer.append(chunk, read);
    }
    return answer;
}

enum Stage { kRunning, kAbandoned, kEnded };
} // namespace

// One POST to the service and what came back.
struct COpenApiClient::Exchange {
    OpenApiEndpoint endpoint;
    std::string body;
    CString type;
    LateAnswerTarget late{};
    DWORD status = 0;
    std::string answer; // read only with status 200
    DWORD error = 0;    // the WinINet error that ended the exchange; 0 when it completed
    // The helper ends it, unless the caller has given up on it first.
    std::atomic<int> stage{kRunning};
};

namespace {
using Exchange = COpenApiClient::Exchange;

void Post(Exchange& exchange) {
    CInternetSession session;
    session.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, 20000);
    session.SetOption(INTERNET_OPTION_CONNECT_BACKOFF, 1000);
    session.SetOption(INTERNET_OPTION_CONNECT_RETRIES, 1);
    std::unique_ptr<CHttpConnection> connection =
        session.GetHttpConnection(exchange.endpoint.host.c_str(), exchange.endpoint.port);
    std::unique_ptr<CHttpFile> request = connection->OpenRequest(
        HTTP_VERB_POST, kOpenApiTarget, nullptr, 1, nullptr, "HTTP/1.1", INTERNET_FLAG_RELOAD);
    // Set on the request: Wine does not pass the session's values on to it.
    request->SetOption(INTERNET_OPTION_SEND_TIMEOUT, kRequestDeadlineMs);
    request->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, kRequestDeadlineMs);
    request->SendRequest(kOpenApiHeader, sizeof kOpenApiHeader - 1, exchange.body.data(),
                         static_cast<DWORD>(exchange.body.size()));
    exchange.status = request->QueryInfoStatusCode();
    if (exchange.status == kHttpOk) exchange.answer = ReadAnswer(*request);
    session.Close();
    request->Close();
    request.reset();
}

DWORD WINAPI RunExchange(void* parameter) {
    // The helper's share: the dialog's thread may have stopped waiting and let go of its own.
    const std::unique_ptr<std::shared_ptr<Exchange>> share(
        static_cast<std::shared_ptr<Exchange>*>(parameter));
    Exchange& exchange = **share;
    try {
        Post(exchange);
    } catch (const CInternetException& e) {
        exchange.error = e.m_dwError;
    } catch (...) {
        // Nothing may escape a thread function: it would end the program, encoder and all.
        exchange.error = ERROR_INTERNET_INTERNAL_ERROR;
    }
    if (exchange.stage.exchange(kEnded) == kAbandoned)
        ::PostMessageA(exchange.late.window, exchange.late.message, 0, 0);
    return 0;
}

// The service's verdict on a completed exchange; error as CallPullStreamOp's.
bool Judge(const Exchange& exchange, CString& error) {
    if (exchange.status != kHttpOk) {
        error = FormatPostError(static_cast<int>(exchange.status));
        return false;
    }
    CString answer(exchange.answer);
    Utf8ToAnsi(&answer);
    const bool accepted = IsPullAccepted(answer.Text());
    if (!accepted) error = answer;
    return accepted;
}
} // namespace

// Runs the exchange on a helper thread and waits for it up to the deadline, then gives up with
// a time-out, keeping the exchange and its helper. The helper is needed because nothing ends a
// blocked receive under Wine (closing the handle, cancelling the thread's I/O and lowering the
// time-outs were tried): a server that trickles its answer would hold whichever thread waits
// for it. A helper left behind ends when a receive times out or the server lets go, or with the
// program; then it reports to the exchange's late target.
void COpenApiClient::PostWithDeadline(const std::shared_ptr<Exchange>& exchange) {
    const ULONGLONG deadline = ::GetTickCount64() + kRequestDeadlineMs;
    auto share = std::make_unique<std::shared_ptr<Exchange>>(exchange);
    CHandle thread(::CreateThread(nullptr, 0, RunExchange, share.get(), 0, nullptr));
    if (!thread.IsValid()) throw CInternetException(::GetLastError());
    share.release();
    int running = kRunning;
    if (::WaitForSingleObject(thread.Get(), kRequestDeadlineMs) != WAIT_OBJECT_0 &&
        exchange->stage.compare_exchange_strong(running, kAbandoned)) {
        m_abandoned = exchange;
        m_abandonedHelper.Attach(thread.Detach());
        throw CInternetException(ERROR_INTERNET_TIMEOUT);
    }
    // A receive that ends with its own time-out finishes just after the deadline.
    if (exchange->error && ::GetTickCount64() >= deadline)
        throw CInternetException(ERROR_INTERNET_TIMEOUT);
    if (exchange->error) throw CInternetException(exchange->error);
}

COpenApiClient::COpenApiClient() = default;
// A helper still running keeps its own share of its exchange and ends with the program.
COpenApiClient::~COpenApiClient() = default;

bool COpenApiClient::CallPullStreamOp(CString accessId, CString accessKey, CString appId,
                                      CString stream, CString type, CString from, CString& error,
                                      LateAnswerTarget late) {
    // One connection at a time: a service that holds one would hold the next as well.
    if (m_abandoned) throw CInternetException(ERROR_INTERNET_TIMEOUT);
    const auto exchange = std::make_shared<Exchange>();
    exchange->endpoint = CurrentEndpoint();
    exchange->body = BuildPullRequestBody(accessId.Text(), accessKey.Text(), appId.Text(),
                                          stream.Text(), type.Text(), from.Text());
    exchange->type = type;
    exchange->late = late;
    PostWithDeadline(exchange);
    return Judge(*exchange, error);
}

bool COpenApiClient::TakeLateAnswer(LatePullAnswer& answer) {
    if (!m_abandoned || m_abandoned->stage != kEnded) return false;
    // The helper only returns after its message: no next request runs beside it.
    ::WaitForSingleObject(m_abandonedHelper.Get(), INFINITE);
    answer.type = m_abandoned->type;
    answer.answered = m_abandoned->error == 0;
    if (answer.answered) answer.accepted = Judge(*m_abandoned, answer.error);
    m_abandoned.reset();
    m_abandonedHelper.Close();
    return true;
}

// The open API client: one HTTP POST per call, each in its own Internet session.
#include "relay/OpenApiClient.h"

#include "framework/CodePage.h"
#include "framework/Handle.h"
#include "framework/Internet.h"
#include "relay/PullRequest.h"
#include "ui/Texts.h"

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
    const DWORD length = ::GetEnvironmentVariableA(texts::kOpenApiEnvironment, value, sizeof value);
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

// One POST to the service and what came back.
struct Exchange {
    OpenApiEndpoint endpoint;
    std::string body;
    DWORD status = 0;
    std::string answer; // read only with status 200
    DWORD error = 0;    // the WinINet error that ended the exchange; 0 when it completed
};

void Post(Exchange& exchange) {
    CInternetSession session;
    session.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, 20000);
    session.SetOption(INTERNET_OPTION_CONNECT_BACKOFF, 1000);
    session.SetOption(INTERNET_OPTION_CONNECT_RETRIES, 1);
    std::unique_ptr<CHttpConnection> connection =
        session.GetHttpConnection(exchange.endpoint.host.c_str(), exchange.endpoint.port);
    std::unique_ptr<CHttpFile> request =
        connection->OpenRequest(HTTP_VERB_POST, texts::kOpenApiTarget, nullptr, 1, nullptr,
                                "HTTP/1.1", INTERNET_FLAG_RELOAD);
    // Set on the request: Wine does not pass the session's values on to it.
    request->SetOption(INTERNET_OPTION_SEND_TIMEOUT, kRequestDeadlineMs);
    request->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, kRequestDeadlineMs);
    request->SendRequest(texts::kOpenApiHeader, sizeof texts::kOpenApiHeader - 1,
                         exchange.body.data(), static_cast<DWORD>(exchange.body.size()));
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
    try {
        Post(**share);
    } catch (const CInternetException& e) {
        (*share)->error = e.m_dwError;
    }
    return 0;
}

// Runs the exchange on a helper thread and waits for it up to the deadline, then gives up with
// a time-out. The helper is needed because nothing ends a blocked receive under Wine (closing
// the handle, cancelling the thread's I/O and lowering the time-outs were tried): a server that
// trickles its answer would hold whichever thread waits for it. A helper left behind ends when
// a receive times out or the server lets go, or with the program.
void PostWithDeadline(const std::shared_ptr<Exchange>& exchange) {
    const ULONGLONG deadline = ::GetTickCount64() + kRequestDeadlineMs;
    auto share = std::make_unique<std::shared_ptr<Exchange>>(exchange);
    CHandle thread(::CreateThread(nullptr, 0, RunExchange, share.get(), 0, nullptr));
    if (!thread.Get()) throw CInternetException(::GetLastError());
    share.release();
    const bool finished = ::WaitForSingleObject(thread.Get(), kRequestDeadlineMs) == WAIT_OBJECT_0;
    // A receive that ends with its own time-out finishes just after the deadline.
    if (!finished || (exchange->error && ::GetTickCount64() >= deadline))
        throw CInternetException(ERROR_INTERNET_TIMEOUT);
    if (exchange->error) throw CInternetException(exchange->error);
}
} // namespace

bool CallPullStreamOp(CString accessId, CString accessKey, CString appId, CString stream,
                      CString type, CString from, CString& error) {
    const auto exchange = std::make_shared<Exchange>();
    exchange->endpoint = CurrentEndpoint();
    exchange->body = BuildPullRequestBody(accessId.Text(), accessKey.Text(), appId.Text(),
                                          stream.Text(), type.Text(), from.Text());
    PostWithDeadline(exchange);
    if (exchange->status != kHttpOk) {
        error = FormatPostError(static_cast<int>(exchange->status));
        return false;
    }
    CString answer(exchange->answer);
    Utf8ToAnsi(&answer);
    const bool accepted = IsPullAccepted(answer.Text());
    if (!accepted) error = answer;
    return accepted;
}

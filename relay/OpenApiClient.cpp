// The open API client: one HTTP POST per call, each in its own Internet session.
#include "relay/OpenApiClient.h"

#include "framework/CodePage.h"
#include "framework/Internet.h"
#include "relay/PullRequest.h"
#include "ui/Texts.h"

namespace {
constexpr DWORD kHttpOk = 200;
// An answer is judged on at most this much of its body.
constexpr size_t kMaxAnswerBytes = 1 << 20;

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
} // namespace

bool CallPullStreamOp(CString accessId, CString accessKey, CString appId, CString stream,
                      CString type, CString from, CString& error) {
    CInternetSession session;
    session.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, 20000);
    session.SetOption(INTERNET_OPTION_CONNECT_BACKOFF, 1000);
    session.SetOption(INTERNET_OPTION_CONNECT_RETRIES, 1);
    const OpenApiEndpoint endpoint = CurrentEndpoint();
    std::unique_ptr<CHttpConnection> connection =
        session.GetHttpConnection(endpoint.host.c_str(), endpoint.port);
    std::unique_ptr<CHttpFile> request =
        connection->OpenRequest(HTTP_VERB_POST, texts::kOpenApiTarget, nullptr, 1, nullptr,
                                "HTTP/1.1", INTERNET_FLAG_RELOAD);

    const std::string body = BuildPullRequestBody(accessId.Text(), accessKey.Text(), appId.Text(),
                                                  stream.Text(), type.Text(), from.Text());
    request->SendRequest(texts::kOpenApiHeader, sizeof texts::kOpenApiHeader - 1, body.data(),
                         static_cast<DWORD>(body.size()));
    bool accepted = false;
    const DWORD status = request->QueryInfoStatusCode();
    if (status != kHttpOk) {
        error = FormatPostError(static_cast<int>(status));
    } else {
        CString answer(ReadAnswer(*request));
        Utf8ToAnsi(&answer);
        accepted = IsPullAccepted(answer.Text());
        if (!accepted) error = answer;
    }
    session.Close();
    request->Close();
    request.reset();
    return accepted;
}

#pragma once
#include "framework/Handle.h"
#include "framework/String.h"

#include <windows.h>

#include <memory>

// Where a request that COpenApiClient gave up on reports its end: `message` posted to `window`.
struct LateAnswerTarget {
    HWND window;
    UINT message;
};

// The outcome of the exchange given up on, once it has ended.
struct LatePullAnswer {
    CString type;
    // False after a transport failure: the service's decision is unknown.
    bool answered = false;
    bool accepted = false;
    // As CallPullStreamOp's error text.
    CString error;
};

// The open API client. Each request is one HTTP POST in an Internet session of its own, made on a
// helper thread that the client waits for up to the request's deadline. A request given up on
// goes on in the background, its helper held here, until its outcome is taken.
class COpenApiClient {
  public:
    COpenApiClient();
    ~COpenApiClient();
    COpenApiClient(const COpenApiClient&) = delete;
    COpenApiClient& operator=(const COpenApiClient&) = delete;

    // Sends one PullStreamOp request of the given type ("add", "del" or "play"). True when the
    // service accepted it; otherwise error holds the service's answer or the HTTP status. A
    // transport failure throws CInternetException, and so does an exchange that has not ended
    // within 30 s (ERROR_INTERNET_TIMEOUT). Such an exchange goes on in the background until
    // `late` has taken its outcome; meanwhile every call throws that time-out at once and sends
    // nothing, so that a trickling service never holds more than one connection.
    bool CallPullStreamOp(CString accessId, CString accessKey, CString appId, CString stream,
                          CString type, CString from, CString& error, LateAnswerTarget late);

    // Takes the outcome announced by the late message; false while that exchange still runs.
    bool TakeLateAnswer(LatePullAnswer& answer);

    struct Exchange;

  private:
    void PostWithDeadline(const std::shared_ptr<Exchange>& exchange);

    // The exchange given up on whose outcome has not been taken yet, and its helper.
    std::shared_ptr<Exchange> m_abandoned;
    CHandle m_abandonedHelper;
};

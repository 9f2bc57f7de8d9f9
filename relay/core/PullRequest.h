// The cloud open API call that relays another source into the stream: request body, answer
// judgement and the service endpoint.
#pragma once

#include <cstddef>
#include <string>

// parameter={"access_id":..,"access_key":..,"appid":..,"type":..,"autoPlay":1,"from":..,
// "stream":..}; note the argument order differs from the body's. Values are JSON-escaped and
// the form value is percent-encoded where needed; code page 936 characters go out unchanged, a
// stray lead byte that starts no character as \u00XX.
std::string BuildPullRequestBody(const std::string& accessId, const std::string& accessKey,
                                 const std::string& appId, const std::string& stream,
                                 const std::string& type, const std::string& from);

// The answer contains "Flag":100, (the service's success code).
bool IsPullAccepted(const std::string& answer);

// The answer contains "Flag":105 (a relay is already active).
bool HoldsRelayActiveFlag(const std::string& answer);

// An error text as a log line shows it: texts longer than kMaxLoggedAnswerBytes are cut to at
// most that many bytes, never inside a code page 936 character, and end in "...".
constexpr size_t kMaxLoggedAnswerBytes = 512;
std::string AnswerForLog(const std::string& error);

// "POST err ：<status>", the refusal text for an HTTP status other than 200.
std::string FormatPostError(int status);

// The service's open API: one path on its host, reached on port 80, and a form-encoded body.
inline constexpr char kOpenApiHost[] = "openapi.kelvo.net";
inline constexpr char kOpenApiTarget[] = "/v2/VXR.PullStreamOp";
inline constexpr char kOpenApiHeader[] = "Content-Type: application/x-www-form-urlencoded;";
// Names another host, and port, for the open API: see ParseOpenApiEndpoint.
inline constexpr char kOpenApiEnvironment[] = "SONAFEED_OPENAPI";
// The request types: start the relay, stop it, ask whether it runs.
inline constexpr char kPullAdd[] = "add";
inline constexpr char kPullDel[] = "del";
inline constexpr char kPullPlay[] = "play";

struct OpenApiEndpoint {
    std::string host;
    unsigned short port;
};

// `value` of kOpenApiEnvironment: "host" or "host:port" (port 1..65535, digits only);
// nullptr, empty or anything else gives kOpenApiHost on port 80.
OpenApiEndpoint ParseOpenApiEndpoint(const char* value);

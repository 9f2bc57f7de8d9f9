#include "relay/core/PullRequest.h"

#include "framework/core/Cp936.h"

#include <cstdio>

namespace {

constexpr unsigned short kDefaultPort = 80;

std::string JsonEscape(const std::string& value) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (IsCp936DoubleByte(value, i)) {
            // A trail byte 0x5C belongs to the character and must not be escaped.
            out.append(value, i, 2);
            ++i;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || (c >= 0x81 && c <= 0xFE)) {
            // A lead byte that starts no valid character is escaped too: written raw, it would
            // pair with the backslash of a following escape or with the closing quote.
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Only the characters that would break the form field; none of them is a trail byte.
std::string FormEncode(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '%') {
            out += "%25";
        } else if (c == '&') {
            out += "%26";
        } else if (c == '+') {
            out += "%2B";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string BuildPullRequestBody(const std::string& accessId, const std::string& accessKey,
                                 const std::string& appId, const std::string& stream,
                                 const std::string& type, const std::string& from) {
    const std::string json = "{\"access_id\":\"" + JsonEscape(accessId) + "\",\"access_key\":\"" +
                             JsonEscape(accessKey) + "\",\"appid\":\"" + JsonEscape(appId) +
                             "\",\"type\":\"" + JsonEscape(type) + "\",\"autoPlay\":1,\"from\":\"" +
                             JsonEscape(from) + "\",\"stream\":\"" + JsonEscape(stream) + "\"}";
    return "parameter=" + FormEncode(json);
}

bool IsPullAccepted(const std::string& answer) {
    return answer.find("\"Flag\":100,") != std::string::npos;
}

bool HoldsRelayActiveFlag(const std::string& answer) {
    return answer.find("\"Flag\":105") != std::string::npos;
}

std::string AnswerForLog(const std::string& error) {
    if (error.size() <= kMaxLoggedAnswerBytes) return error;
    size_t end = 0;
    for (;;) {
        const size_t step = IsCp936DoubleByte(error, end) ? 2 : 1;
        if (end + step > kMaxLoggedAnswerBytes) break;
        end += step;
    }
    return error.substr(0, end) + "...";
}

std::string FormatPostError(int status) {
    char text[64];
    std::snprintf(text, sizeof text, "POST err ：%d", status);
    return text;
}

OpenApiEndpoint ParseOpenApiEndpoint(const char* value) {
    const OpenApiEndpoint fallback{kOpenApiHost, kDefaultPort};
    if (value == nullptr || *value == '\0') return fallback;
    const std::string text = value;
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return {text, kDefaultPort};
    if (colon == 0 || colon + 1 == text.size()) return fallback;
    unsigned long port = 0;
    for (size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return fallback;
        port = port * 10 + static_cast<unsigned long>(text[i] - '0');
        if (port > 65535) return fallback;
    }
    if (port == 0) return fallback;
    return {text.substr(0, colon), static_cast<unsigned short>(port)};
}

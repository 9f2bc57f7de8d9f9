#include "live/core/RtmpServer.h"

#include <algorithm>

namespace {
constexpr char kScheme[] = "rtmp://";
constexpr size_t kSchemeLength = sizeof kScheme - 1;
constexpr char kRtmpVersion = 3;
constexpr size_t kC1Bytes = 1536;

// Decimal, and as the encoder reads it: leading zeros are no part of the number.
bool ParsePort(const std::string& text, unsigned short& port) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const std::string digits = text.substr(std::min(text.find_first_not_of('0'), text.size() - 1));
    if (digits.size() > 5) return false;
    const unsigned long value = std::stoul(digits);
    if (value == 0 || value > 65535) return false;
    port = static_cast<unsigned short>(value);
    return true;
}
} // namespace

bool RtmpServerOf(const std::string& publishUrl, RtmpServer& server) {
    if (publishUrl.compare(0, kSchemeLength, kScheme) != 0) return false;
    const size_t end = publishUrl.find_first_of("/?", kSchemeLength);
    std::string authority = publishUrl.substr(kSchemeLength, end - kSchemeLength);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) authority.erase(0, at + 1);

    std::string host;
    size_t colon; // before the port, npos when the address names none
    if (!authority.empty() && authority[0] == '[') {
        const size_t closing = authority.find(']');
        if (closing == std::string::npos) return false;
        host = authority.substr(1, closing - 1);
        colon = closing + 1 < authority.size() ? closing + 1 : std::string::npos;
        if (colon != std::string::npos && authority[colon] != ':') return false;
    } else {
        colon = authority.find(':');
        host = authority.substr(0, colon);
    }
    if (host.empty()) return false;
    RtmpServer parsed{host, kRtmpDefaultPort};
    if (colon != std::string::npos && !ParsePort(authority.substr(colon + 1), parsed.port))
        return false;
    server = parsed;
    return true;
}

std::string RtmpHandshakeStart() {
    std::string start(1 + kC1Bytes, '\0');
    start[0] = kRtmpVersion;
    // Time zero is allowed; the filler only has to be there.
    for (size_t i = 9; i < start.size(); ++i)
        start[i] = static_cast<char>(i * 31 + 7);
    return start;
}

bool IsRtmpServerGreeting(const std::string& greeting) {
    return greeting.size() >= kRtmpServerGreetingBytes && greeting[0] == kRtmpVersion;
}

// The publish address as typed: blanks removed, checked, and split for the relay request.
#include "FuzzText.h"

#include "live/core/PublishUrl.h"
#include "live/core/RtmpServer.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string typed = Bytes(data, size);
    std::string url = typed;
    RemoveBlanks(url);
    Require(url.find(' ') == std::string::npos, "no blank is left");
    Require(url.size() + std::count(typed.begin(), typed.end(), ' ') == typed.size(),
            "only blanks are removed");

    const bool accepted = IsUsable(CheckPublishUrlText(url));
    if (accepted) {
        Require(url.size() >= 12 && url.compare(0, 7, "rtmp://") == 0,
                "an accepted address is long enough and starts with the scheme");
    }

    RtmpServer server;
    if (RtmpServerOf(url, server)) {
        Require(!server.host.empty() && server.port != 0, "a server has a host and a port");
        Require(url.find(server.host) != std::string::npos, "the host is taken from the address");
    }

    std::string appId = "untouched-app";
    std::string stream = "untouched-stream";
    if (SplitPublishUrlText(url, appId, stream) != PublishUrlSplit::kSplit) {
        Require(!accepted, "an accepted address always splits");
        Require(appId == "untouched-app" && stream == "untouched-stream",
                "a failed split leaves its outputs alone");
        return 0;
    }
    // Taken from the address itself: application and stream are adjacent path parts.
    Require(url.find('/' + appId + '/' + stream) != std::string::npos,
            "application and stream are parts of the address");
    Require(appId.find('/') == std::string::npos, "the application holds no slash");
    Require(stream.find_first_of("/?") == std::string::npos, "the stream holds no slash or ?");
    if (accepted) {
        Require(!appId.empty() && !stream.empty(), "an accepted address has both parts");
        // The application starts after the slash that ends the host, at the earliest.
        const size_t appOpening = url.rfind('/') - appId.size() - 1;
        Require(url.find('/', 7) <= appOpening, "the host is not the application");
    }
    return 0;
}

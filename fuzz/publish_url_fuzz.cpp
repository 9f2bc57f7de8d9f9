// The publish address as typed: blanks removed, checked, and split for the relay request.
#include "FuzzText.h"

#include "live/PublishUrl.h"
#include "ui/Texts.h"

#include <algorithm>

namespace {

bool IsRejection(const char* text) {
    return text == texts::kUrlTooShort || text == texts::kUrlBadPrefix ||
           text == texts::kUrlEmptyApp || text == texts::kUrlEmptyStream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string typed = Bytes(data, size);
    std::string url = typed;
    RemoveBlanks(url);
    Require(url.find(' ') == std::string::npos, "no blank is left");
    Require(url.size() + std::count(typed.begin(), typed.end(), ' ') == typed.size(),
            "only blanks are removed");

    bool accepted = true;
    const char* remark = CheckPublishUrlText(url, accepted);
    if (!accepted) {
        Require(IsRejection(remark), "a rejection names its reason");
    } else {
        Require(remark == nullptr || remark == texts::kUrlNotPublishDomain,
                "an accepted address gets at most the domain warning");
        Require(url.size() >= 12 && url.compare(0, 7, "rtmp://") == 0,
                "an accepted address is long enough and starts with the scheme");
    }

    std::string appId = "untouched-app";
    std::string stream = "untouched-stream";
    const char* complaint = SplitPublishUrlText(url, appId, stream);
    if (complaint != nullptr) {
        Require(!accepted, "an accepted address always splits");
        Require(complaint == texts::kUrlNoSlash || complaint == texts::kUrlNoSecondSlash,
                "a failed split names its reason");
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

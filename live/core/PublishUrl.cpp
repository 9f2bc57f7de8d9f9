#include "live/core/PublishUrl.h"

#include <algorithm>

namespace {

constexpr char kScheme[] = "rtmp://";
constexpr size_t kSchemeLength = sizeof kScheme - 1;
constexpr size_t kMinLength = 12;
constexpr char kPublishDomainSuffix[] = ".push.kelvo.net/";

std::string StreamAfter(const std::string& url, size_t slash) {
    const std::string tail = url.substr(slash + 1);
    return tail.substr(0, tail.find('?'));
}

} // namespace

void RemoveBlanks(std::string& url) {
    url.erase(std::remove(url.begin(), url.end(), ' '), url.end());
}

PublishUrlCheck CheckPublishUrlText(const std::string& cleanedUrl) {
    if (cleanedUrl.size() < kMinLength) return PublishUrlCheck::kTooShort;
    if (cleanedUrl.compare(0, kSchemeLength, kScheme) != 0) return PublishUrlCheck::kBadScheme;

    // The "/" ending the host must not count as the application's opening one, otherwise
    // rtmp://host/stream would publish with the host name as application.
    const size_t hostEnd = cleanedUrl.find('/', kSchemeLength);
    const size_t last = cleanedUrl.rfind('/');
    if (hostEnd == std::string::npos || last == hostEnd) return PublishUrlCheck::kEmptyApp;
    const size_t previous = cleanedUrl.rfind('/', last - 1);
    if (last - previous == 1) return PublishUrlCheck::kEmptyApp;
    if (StreamAfter(cleanedUrl, last).empty()) return PublishUrlCheck::kEmptyStream;
    if (cleanedUrl.find(kPublishDomainSuffix) == std::string::npos)
        return PublishUrlCheck::kNotPublishDomain;
    return PublishUrlCheck::kAccepted;
}

bool IsUsable(PublishUrlCheck check) {
    return check == PublishUrlCheck::kAccepted || check == PublishUrlCheck::kNotPublishDomain;
}

PublishUrlSplit SplitPublishUrlText(const std::string& url, std::string& appId,
                                    std::string& stream) {
    const size_t last = url.rfind('/');
    if (last == std::string::npos) return PublishUrlSplit::kNoSlash;
    const size_t previous = last == 0 ? std::string::npos : url.rfind('/', last - 1);
    if (previous == std::string::npos) return PublishUrlSplit::kNoSecondSlash;
    appId = url.substr(previous + 1, last - previous - 1);
    stream = StreamAfter(url, last);
    return PublishUrlSplit::kSplit;
}

// The RTMP publish address: check before going live, and the application/stream split the relay
// request needs.
#pragma once

#include <string>

// Removes every blank (0x20) anywhere; tabs stay.
void RemoveBlanks(std::string& url);

// What the check makes of an address freed of blanks; the dialog turns it into the operator's text.
enum class PublishUrlCheck {
    kAccepted,
    kNotPublishDomain, // usable, with a warning: the host is not in the service's publish domain
    kTooShort,
    kBadScheme,
    kEmptyApp,
    kEmptyStream,
};
PublishUrlCheck CheckPublishUrlText(const std::string& cleanedUrl);

// True for the two results that let the address be used.
bool IsUsable(PublishUrlCheck check);

enum class PublishUrlSplit { kSplit, kNoSlash, kNoSecondSlash };

// Application = text between the last two "/", stream = text after the last "/" up to its first
// "?". Total on any input; unless kSplit, appId and stream are left untouched.
PublishUrlSplit SplitPublishUrlText(const std::string& url, std::string& appId,
                                    std::string& stream);

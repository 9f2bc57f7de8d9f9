#include "live/PublishUrl.h"

#include <gtest/gtest.h>

namespace {

const struct {
    std::string url;
    PublishUrlCheck check;
} kCheckCases[] = {
    {"", PublishUrlCheck::kTooShort},
    {"rtmp://h/a/", PublishUrlCheck::kTooShort},
    {"rtmp://h/a/s", PublishUrlCheck::kNotPublishDomain},
    {"RTMP://host/app/s", PublishUrlCheck::kBadScheme},
    {"xrtmp://host/app/s", PublishUrlCheck::kBadScheme},
    {"http://host/app/s", PublishUrlCheck::kBadScheme},
    {"rtmp:/host/app/stream", PublishUrlCheck::kBadScheme},
    {"rtmp://hostname", PublishUrlCheck::kEmptyApp},
    {"rtmp://host/stream", PublishUrlCheck::kEmptyApp},
    {"rtmp://1000.push.kelvo.net/room1", PublishUrlCheck::kEmptyApp},
    {"rtmp://host//s", PublishUrlCheck::kEmptyApp},
    {"rtmp://host/app/", PublishUrlCheck::kEmptyStream},
    {"rtmp://host/app/?x=1", PublishUrlCheck::kEmptyStream},
    {"rtmp://host/app?x=1/s", PublishUrlCheck::kNotPublishDomain},
    {"rtmp://host/a/b/c", PublishUrlCheck::kNotPublishDomain},
    {"rtmp://1000.push.kelvo.net/live/room1?a=1", PublishUrlCheck::kAccepted},
    {"rtmp://1000.push.kelvo.net/live/直播", PublishUrlCheck::kAccepted},
    {"rtmp://1000.PUSH.kelvo.net/live/room1", PublishUrlCheck::kNotPublishDomain},
    {"rtmp://1000.push.kelvo.net.example/live/room1", PublishUrlCheck::kNotPublishDomain},
};

} // namespace

TEST(PublishUrl, RemovesBlanksOnly) {
    std::string url = " rtmp:// h /a/\t s ";
    RemoveBlanks(url);
    EXPECT_EQ(url, "rtmp://h/a/\ts");
}

TEST(PublishUrl, ChecksAddresses) {
    for (const auto& c : kCheckCases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(CheckPublishUrlText(c.url), c.check);
    }
}

// Whatever the check lets through must split into a non-empty application and stream.
TEST(PublishUrl, AcceptedAddressesSplit) {
    for (const auto& c : kCheckCases) {
        if (!IsUsable(c.check)) continue;
        SCOPED_TRACE(c.url);
        std::string appId, stream;
        EXPECT_EQ(SplitPublishUrlText(c.url, appId, stream), PublishUrlSplit::kSplit);
        EXPECT_FALSE(appId.empty());
        EXPECT_FALSE(stream.empty());
    }
}

TEST(PublishUrl, Splits) {
    const struct {
        std::string url;
        PublishUrlSplit split;
        std::string appId;
        std::string stream;
    } cases[] = {
        {"rtmp://1000.push.kelvo.net/live/room1?a=1", PublishUrlSplit::kSplit, "live", "room1"},
        {"rtmp://host/a/b/c", PublishUrlSplit::kSplit, "b", "c"},
        {"rtmp://host/app?x=1/s", PublishUrlSplit::kSplit, "app?x=1", "s"},
        {"rtmp://host/a/s?x?y", PublishUrlSplit::kSplit, "a", "s"},
        {"rtmp://host/live/直播間", PublishUrlSplit::kSplit, "live", "直播間"},
        {"rtmp://host/app/", PublishUrlSplit::kSplit, "app", ""},
        {"//", PublishUrlSplit::kSplit, "", ""},
        {"a/s", PublishUrlSplit::kNoSecondSlash, "-", "-"},
        {"/s", PublishUrlSplit::kNoSecondSlash, "-", "-"},
        {"noslash", PublishUrlSplit::kNoSlash, "-", "-"},
        {"", PublishUrlSplit::kNoSlash, "-", "-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        std::string appId = "-", stream = "-";
        EXPECT_EQ(SplitPublishUrlText(c.url, appId, stream), c.split);
        EXPECT_EQ(appId, c.appId);
        EXPECT_EQ(stream, c.stream);
    }
}

#include "live/PublishUrl.h"

#include "ui/Texts.h"

#include <gtest/gtest.h>

namespace {

const struct {
    std::string url;
    const char* text;
    bool accepted;
} kCheckCases[] = {
    {"", texts::kUrlTooShort, false},
    {"rtmp://h/a/", texts::kUrlTooShort, false},
    {"rtmp://h/a/s", texts::kUrlNotPublishDomain, true},
    {"RTMP://host/app/s", texts::kUrlBadPrefix, false},
    {"xrtmp://host/app/s", texts::kUrlBadPrefix, false},
    {"http://host/app/s", texts::kUrlBadPrefix, false},
    {"rtmp:/host/app/stream", texts::kUrlBadPrefix, false},
    {"rtmp://hostname", texts::kUrlEmptyApp, false},
    {"rtmp://host/stream", texts::kUrlEmptyApp, false},
    {"rtmp://1000.push.kelvo.net/room1", texts::kUrlEmptyApp, false},
    {"rtmp://host//s", texts::kUrlEmptyApp, false},
    {"rtmp://host/app/", texts::kUrlEmptyStream, false},
    {"rtmp://host/app/?x=1", texts::kUrlEmptyStream, false},
    {"rtmp://host/app?x=1/s", texts::kUrlNotPublishDomain, true},
    {"rtmp://host/a/b/c", texts::kUrlNotPublishDomain, true},
    {"rtmp://1000.push.kelvo.net/live/room1?a=1", nullptr, true},
    {"rtmp://1000.push.kelvo.net/live/直播", nullptr, true},
    {"rtmp://1000.PUSH.kelvo.net/live/room1", texts::kUrlNotPublishDomain, true},
    {"rtmp://1000.push.kelvo.net.example/live/room1", texts::kUrlNotPublishDomain, true},
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
        bool accepted = !c.accepted;
        EXPECT_EQ(CheckPublishUrlText(c.url, accepted), c.text);
        EXPECT_EQ(accepted, c.accepted);
    }
}

// Whatever the check lets through must split into a non-empty application and stream.
TEST(PublishUrl, AcceptedAddressesSplit) {
    for (const auto& c : kCheckCases) {
        if (!c.accepted) continue;
        SCOPED_TRACE(c.url);
        std::string appId, stream;
        EXPECT_EQ(SplitPublishUrlText(c.url, appId, stream), nullptr);
        EXPECT_FALSE(appId.empty());
        EXPECT_FALSE(stream.empty());
    }
}

TEST(PublishUrl, Splits) {
    const struct {
        std::string url;
        const char* text;
        std::string appId;
        std::string stream;
    } cases[] = {
        {"rtmp://1000.push.kelvo.net/live/room1?a=1", nullptr, "live", "room1"},
        {"rtmp://host/a/b/c", nullptr, "b", "c"},
        {"rtmp://host/app?x=1/s", nullptr, "app?x=1", "s"},
        {"rtmp://host/a/s?x?y", nullptr, "a", "s"},
        {"rtmp://host/live/直播間", nullptr, "live", "直播間"},
        {"rtmp://host/app/", nullptr, "app", ""},
        {"//", nullptr, "", ""},
        {"a/s", texts::kUrlNoSecondSlash, "-", "-"},
        {"/s", texts::kUrlNoSecondSlash, "-", "-"},
        {"noslash", texts::kUrlNoSlash, "-", "-"},
        {"", texts::kUrlNoSlash, "-", "-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        std::string appId = "-", stream = "-";
        EXPECT_EQ(SplitPublishUrlText(c.url, appId, stream), c.text);
        EXPECT_EQ(appId, c.appId);
        EXPECT_EQ(stream, c.stream);
    }
}

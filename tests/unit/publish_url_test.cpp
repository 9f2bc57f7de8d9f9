#include "live/core/PublishUrl.h"
#include "live/core/RtmpServer.h"

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

TEST(RtmpServer, HostAndPortOfTheAddress) {
    const struct {
        std::string url;
        bool named;
        std::string host;
        unsigned short port;
    } cases[] = {
        {"rtmp://1000.push.kelvo.net/live/s", true, "1000.push.kelvo.net", 1935},
        {"rtmp://127.0.0.1:1936/live/s", true, "127.0.0.1", 1936},
        {"rtmp://h:65535/a/s", true, "h", 65535},
        {"rtmp://h:01/a/s", true, "h", 1},
        // Leading zeros, as the encoder reads the port.
        {"rtmp://h:019389/a/s", true, "h", 19389},
        {"rtmp://h:0000000001935/a/s", true, "h", 1935},
        {"rtmp://h:000/a/s", false, "", 0},
        {"rtmp://h?x=1/a/s", true, "h", 1935},
        {"rtmp://user:secret@h:1937/a/s", true, "h", 1937},
        {"rtmp://[::1]:1938/live/s", true, "::1", 1938},
        {"rtmp://[fe80::1%2]/live/s", true, "fe80::1%2", 1935},
        {"rtmp://h:0/a/s", false, "", 0},
        {"rtmp://h:65536/a/s", false, "", 0},
        {"rtmp://h:123456/a/s", false, "", 0},
        {"rtmp://h:/a/s", false, "", 0},
        {"rtmp://h:19x5/a/s", false, "", 0},
        {"rtmp://h:-1/a/s", false, "", 0},
        {"rtmp://:1935/a/s", false, "", 0},
        {"rtmp:///a/s", false, "", 0},
        {"rtmp://[::1/a/s", false, "", 0},
        {"rtmp://[::1]x/a/s", false, "", 0},
        {"rtmp://[]:1935/a/s", false, "", 0},
        {"http://h/a/s", false, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        RtmpServer server{"untouched", 7};
        ASSERT_EQ(RtmpServerOf(c.url, server), c.named);
        EXPECT_EQ(server.host, c.named ? c.host : "untouched");
        EXPECT_EQ(server.port, c.named ? c.port : 7);
    }
}

TEST(RtmpServer, HandshakeOpensPlainAndKnowsAServersGreeting) {
    const std::string start = RtmpHandshakeStart();
    ASSERT_EQ(start.size(), 1u + 1536u);
    EXPECT_EQ(start[0], 3);
    // Zero here asks for the plain handshake, which every server answers without digests.
    EXPECT_EQ(start.substr(5, 4), std::string(4, '\0'));

    const std::string s1(1536, 'x');
    EXPECT_TRUE(IsRtmpServerGreeting('\3' + s1));
    EXPECT_TRUE(IsRtmpServerGreeting('\3' + s1 + s1));
    EXPECT_FALSE(IsRtmpServerGreeting('\3' + s1.substr(1)));
    EXPECT_FALSE(IsRtmpServerGreeting('\6' + s1));
    EXPECT_FALSE(IsRtmpServerGreeting("HTTP/1.1 400 Bad Request\r\n\r\n" + s1));
    EXPECT_FALSE(IsRtmpServerGreeting(""));
}

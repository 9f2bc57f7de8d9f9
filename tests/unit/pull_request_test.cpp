#include "relay/core/PullRequest.h"

#include "framework/core/Cp936.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

const std::string kPrefix = "parameter={\"access_id\":\"i\",\"access_key\":\"k\",\"appid\":\"a\","
                            "\"type\":\"add\",\"autoPlay\":1,\"from\":\"f\",\"stream\":\"";

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Reads the JSON string starting after its opening quote at `i`; leaves `i` after the closing one.
std::string JsonString(const std::string& json, size_t& i) {
    std::string out;
    while (i < json.size() && json[i] != '"') {
        if (IsCp936DoubleByte(json, i)) {
            out.append(json, i, 2);
            i += 2;
        } else if (json[i] == '\\' && i + 1 < json.size()) {
            const char kind = json[i + 1];
            if (kind == 'u' && i + 5 < json.size()) {
                out += static_cast<char>(std::stoi(json.substr(i + 2, 4), nullptr, 16));
                i += 6;
            } else {
                out += kind;
                i += 2;
            }
        } else {
            out += json[i++];
        }
    }
    ++i;
    return out;
}

// A flat object of strings and bare numbers; a number is stored as its text prefixed with '#'.
std::map<std::string, std::string> JsonObject(const std::string& json) {
    std::map<std::string, std::string> members;
    size_t i = 1;
    if (json.empty() || json[0] != '{') return members;
    while (i < json.size() && json[i] == '"') {
        ++i;
        const std::string key = JsonString(json, i);
        if (i >= json.size() || json[i++] != ':') break;
        if (i < json.size() && json[i] == '"') {
            ++i;
            members[key] = JsonString(json, i);
        } else {
            const size_t end = json.find_first_of(",}", i);
            members[key] = "#" + json.substr(i, end - i);
            i = end;
        }
        if (i < json.size() && json[i] == ',') ++i;
    }
    if (json.substr(i) != "}") members["<rest>"] = json.substr(i);
    return members;
}

} // namespace

TEST(PullRequest, BuildsBodies) {
    const struct {
        std::string accessId, accessKey, appId, stream, type, from, expected;
    } cases[] = {
        {"id1", "key1", "live", "room1", "add", "rtmp://src/x/y",
         "parameter={\"access_id\":\"id1\",\"access_key\":\"key1\",\"appid\":\"live\",\"type\":"
         "\"add\",\"autoPlay\":1,\"from\":\"rtmp://src/x/y\",\"stream\":\"room1\"}"},
        {"id1", "key1", "live", "room1", "del", "",
         "parameter={\"access_id\":\"id1\",\"access_key\":\"key1\",\"appid\":\"live\",\"type\":"
         "\"del\",\"autoPlay\":1,\"from\":\"\",\"stream\":\"room1\"}"},
        {"", "", "live", "直播", "play", "rtmp://src/x/y",
         "parameter={\"access_id\":\"\",\"access_key\":\"\",\"appid\":\"live\",\"type\":"
         "\"play\",\"autoPlay\":1,\"from\":\"rtmp://src/x/y\",\"stream\":\"直播\"}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildPullRequestBody(c.accessId, c.accessKey, c.appId, c.stream, c.type, c.from),
                  c.expected);
    }
}

TEST(PullRequest, EscapesValues) {
    const struct {
        std::string value, expected;
    } cases[] = {
        {"a+b", "a%2Bb"},
        {"a&b=c", "a%26b=c"},
        {"100%", "100%25"},
        {"\"", "\\\""},
        {"\\", "\\\\"},
        {"\x01\n\x1f", "\\u0001\\u000a\\u001f"},
        {" ~\x7f\x80\xff", " ~\x7f\x80\xff"},
        {"誠", "\xD5\x5C"},
        {"誠\"", "\xD5\x5C\\\""},
        {"直播", "直播"},
        {"\x81\"", "\\u0081\\\""}, // lead byte without a trail byte
        {"\xFE", "\\u00fe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.value));
        EXPECT_EQ(BuildPullRequestBody("i", "k", "a", c.value, "add", "f"),
                  kPrefix + c.expected + "\"}");
    }
}

TEST(PullRequest, RandomValuesComeBackFromTheBody) {
    std::mt19937 random(20240601);
    for (int round = 0; round < 48; ++round) {
        std::string values[6];
        for (std::string& value : values) {
            const size_t length = random() % 24;
            for (size_t i = 0; i < length; ++i)
                value += static_cast<char>(1 + random() % 255);
        }
        const std::string body =
            BuildPullRequestBody(values[0], values[1], values[2], values[3], values[4], values[5]);
        ASSERT_EQ(body.compare(0, 10, "parameter="), 0);
        const std::map<std::string, std::string> expected = {
            {"access_id", values[0]}, {"access_key", values[1]}, {"appid", values[2]},
            {"stream", values[3]},    {"type", values[4]},       {"from", values[5]},
            {"autoPlay", "#1"}};
        EXPECT_EQ(body.find_first_of("&+"), std::string::npos);
        EXPECT_EQ(JsonObject(PercentDecode(body.substr(10))), expected) << body;
    }
}

TEST(PullRequest, JudgesAnswers) {
    const struct {
        std::string answer;
        bool accepted, relayActive;
    } cases[] = {
        {"{\"Flag\":100,\"FlagString\":\"ok\"}", true, false},
        {"{\"msg\":\"x \\\"Flag\\\":100, y\", \"Flag\":100,", true, false},
        {"{\"msg\":\"\"Flag\":100,\"}", true, false},
        {"{\"Flag\":100}", false, false},
        {"{\"Flag\": 100,", false, false},
        {"{\"flag\":100,", false, false},
        {"{Flag:100,", false, false},
        {"", false, false},
        {"{\"Flag\":105,\"FlagString\":\"busy\"}", false, true},
        {"{\"Flag\":105}", false, true},
        {"{\"Flag\":1050}", false, true},
        {"{\"Flag\": 105}", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        EXPECT_EQ(IsPullAccepted(c.answer), c.accepted);
        EXPECT_EQ(HoldsRelayActiveFlag(c.answer), c.relayActive);
    }
}

TEST(PullRequest, CutsLongAnswersForTheLogOnACharacterBoundary) {
    const std::string a511(511, 'a');
    const std::string zhong = "\xD6\xD0"; // 中
    const struct {
        std::string error;
        std::string expected;
    } cases[] = {
        {"", ""},
        {std::string(512, 'a'), std::string(512, 'a')},
        {std::string(513, 'a'), std::string(512, 'a') + "..."},
        // A character across the limit is left out whole.
        {a511 + zhong, a511 + "..."},
        {"a" + std::string(600, '\x81'), "a" + std::string(510, '\x81') + "..."},
        // A lead byte without a valid trail byte stands alone.
        {a511 + "\x81" + "0yz", a511 + "\x81" + "..."},
        // A trail byte 0x5C is part of its character.
        {a511.substr(1) + "\x81\x5C" + "c", a511.substr(1) + "\x81\x5C" + "..."},
    };
    for (const auto& c : cases) {
        const std::string cut = AnswerForLog(c.error);
        EXPECT_EQ(cut, c.expected) << c.error.size();
        EXPECT_LE(cut.size(), kMaxLoggedAnswerBytes + 3);
    }
}

TEST(PullRequest, FormatsPostErrors) {
    EXPECT_EQ(FormatPostError(404), "POST err \xA3\xBA"
                                    "404");
    EXPECT_EQ(FormatPostError(-1), "POST err \xA3\xBA"
                                   "-1");
    EXPECT_EQ(FormatPostError(0), "POST err \xA3\xBA"
                                  "0");
}

TEST(PullRequest, ParsesEndpoint) {
    const struct {
        const char* value;
        std::string host;
        unsigned short port;
    } cases[] = {
        {nullptr, kOpenApiHost, 80},
        {"", kOpenApiHost, 80},
        {"localhost", "localhost", 80},
        {"127.0.0.1:8080", "127.0.0.1", 8080},
        {"h:1", "h", 1},
        {"h:080", "h", 80},
        {"h:65535", "h", 65535},
        {"h:65536", kOpenApiHost, 80},
        {"h:99999999999999999999", kOpenApiHost, 80},
        {"h:0", kOpenApiHost, 80},
        {":8080", kOpenApiHost, 80},
        {"h:", kOpenApiHost, 80},
        {"h:8a", kOpenApiHost, 80},
        {"h:+80", kOpenApiHost, 80},
        {"h:-1", kOpenApiHost, 80},
        {"h: 80", kOpenApiHost, 80},
        {"h:80:1", kOpenApiHost, 80},
        {"::1", kOpenApiHost, 80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(null)");
        const OpenApiEndpoint endpoint = ParseOpenApiEndpoint(c.value);
        EXPECT_EQ(endpoint.host, c.host);
        EXPECT_EQ(endpoint.port, c.port);
    }
}

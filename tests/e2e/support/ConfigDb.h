// The settings file config.db as tests write it and expect it, and the open API request body
// built from the same values.
#pragma once

#include <string>
#include <vector>

namespace e2e {

// The line end the program writes: CR LF through a text-mode stream. It reads CR LF and LF too.
inline constexpr char kSavedLineEnd[] = "\r\r\n";

// `lines`, each followed by `end`.
inline std::string ConfigBytes(const std::vector<std::string>& lines,
                               const std::string& end = kSavedLineEnd) {
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + end;
    return bytes;
}

// The eight lines of config.db. The defaults are a complete set the relay can be asked with.
struct ConfigDb {
    std::string device = "0";
    std::string publish = "rtmp://1000.push.kelvo.net/live/room1";
    std::string tray = "0";
    std::string bitrate = "1";
    std::string pull = "rtmp://src.example.com/live/feed";
    std::string key = "k1";
    std::string id = "i1";
    std::string auto_pull = "0";

    std::vector<std::string> Lines() const {
        return {device, publish, tray, bitrate, pull, key, id, auto_pull};
    }
    std::string Bytes(const std::string& end = kSavedLineEnd) const {
        return ConfigBytes(Lines(), end);
    }
};

// The relay request body for values that need no escaping.
inline std::string PullBody(const ConfigDb& config, const std::string& type,
                            const std::string& app = "live", const std::string& stream = "room1") {
    return "parameter={\"access_id\":\"" + config.id + "\",\"access_key\":\"" + config.key +
           "\",\"appid\":\"" + app + "\",\"type\":\"" + type + "\",\"autoPlay\":1,\"from\":\"" +
           config.pull + "\",\"stream\":\"" + stream + "\"}";
}

// The "type" of a request body: "play", "add" or "del"; empty when there is none.
inline std::string TypeOf(const std::string& body) {
    constexpr char kKey[] = "\"type\":\"";
    size_t start = body.find(kKey);
    if (start == std::string::npos) return {};
    start += sizeof kKey - 1;
    return body.substr(start, body.find('"', start) - start);
}

} // namespace e2e

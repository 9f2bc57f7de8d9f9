#include "settings/core/AudioSettings.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

// Each setting: its key, where it lives, its range (0 and 1 for a switch).
struct Field {
    const char* key;
    int min;
    int max;
    int AudioSettings::*number;
    bool AudioSettings::*flag;
    std::string AudioSettings::*text = nullptr;
    // Files written before the recording have none of its keys: their defaults go without a word.
    bool newer = false;
};

constexpr Field kFields[] = {
    {"silence_threshold_db", -90, -20, &AudioSettings::thresholdDb, nullptr},
    {"silence_seconds", 5, 3600, &AudioSettings::silenceSeconds, nullptr},
    {"return_seconds", 1, 600, &AudioSettings::returnSeconds, nullptr},
    {"backup_relay", 0, 1, nullptr, &AudioSettings::backupRelay},
    {"measure_levels", 0, 1, nullptr, &AudioSettings::measureLevels},
    {"record", 0, 1, nullptr, &AudioSettings::record, nullptr, true},
    {"record_folder", 0, 0, nullptr, nullptr, &AudioSettings::recordFolder, true},
    {"record_days", 1, 3650, &AudioSettings::recordDays, nullptr, nullptr, true},
    {"record_min_free_mb", 0, 1 << 20, &AudioSettings::recordFloorMb, nullptr, nullptr, true},
    {"record_period_seconds", 10, 3600, &AudioSettings::recordPeriodSeconds, nullptr, nullptr,
     true},
};

// A whole decimal number, optionally signed and surrounded by blanks.
bool ParseNumber(const std::string& text, long& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    value = std::strtol(begin, &end, 10);
    if (end == begin) return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    return *end == '\0';
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
}

} // namespace

AudioSettings ParseAudioSettings(const std::string& text, std::vector<std::string>& bad) {
    std::map<std::string, std::string> values;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[Trimmed(line.substr(0, equals))] = Trimmed(line.substr(equals + 1));
        start = end + 1;
    }
    AudioSettings settings;
    for (const Field& field : kFields) {
        long value = 0;
        const auto found = values.find(field.key);
        if (found != values.end() && field.text) {
            settings.*field.text = found->second;
            continue;
        }
        if (found == values.end() && field.newer) continue;
        if (found == values.end() || !ParseNumber(found->second, value)) {
            bad.push_back(field.key);
            continue;
        }
        const int clamped = static_cast<int>(std::clamp<long>(value, field.min, field.max));
        if (field.number)
            settings.*field.number = clamped;
        else
            settings.*field.flag = clamped != 0;
    }
    return settings;
}

std::string FormatAudioSettings(const AudioSettings& settings) {
    std::string text;
    for (const Field& field : kFields) {
        const int value =
            field.number ? settings.*field.number : field.flag && settings.*field.flag;
        text += std::string(field.key) + "=" +
                (field.text ? settings.*field.text : std::to_string(value)) + "\n";
    }
    return text;
}

#include "ui/core/LogLine.h"

#include <cstdio>

namespace {

struct Stamp {
    // long long so that the +1900 and +1 offsets cannot overflow whatever the fields hold.
    long long year = 0, month = 0, day = 0, hour = -1, minute = -1, second = -1;

    explicit Stamp(const std::tm* local) {
        if (local == nullptr) return;
        year = local->tm_year + 1900LL;
        month = local->tm_mon + 1LL;
        day = local->tm_mday;
        hour = local->tm_hour;
        minute = local->tm_min;
        second = local->tm_sec;
    }
};

} // namespace

std::string FormatLogLine(const std::tm* local, const std::string& message) {
    const Stamp t(local);
    char stamp[160];
    std::snprintf(stamp, sizeof stamp, "%lld-%02lld-%02lld %02lld:%02lld:%02lld ", t.year, t.month,
                  t.day, t.hour, t.minute, t.second);
    return stamp + message;
}

std::string LogFileName(const std::tm* local) {
    const Stamp t(local);
    char name[96];
    // The same date as the line's own stamp, so that a line and its file always agree.
    std::snprintf(name, sizeof name, "%s\\%lld-%02lld-%02lld.txt", kLogFolder, t.year, t.month,
                  t.day);
    return name;
}

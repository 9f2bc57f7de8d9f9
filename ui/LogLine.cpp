#include "ui/LogLine.h"

#include <cstdio>

std::string FormatLogLine(const std::tm* local, const std::string& message) {
    // long long so that the +1900 and +1 offsets cannot overflow whatever the fields hold.
    long long year = 0, month = 0, day = 0, hour = -1, minute = -1, second = -1;
    if (local != nullptr) {
        year = local->tm_year + 1900LL;
        month = local->tm_mon + 1LL;
        day = local->tm_mday;
        hour = local->tm_hour;
        minute = local->tm_min;
        second = local->tm_sec;
    }
    char stamp[160];
    std::snprintf(stamp, sizeof stamp, "%lld-%02lld-%02lld %02lld:%02lld:%02lld ", year, month, day,
                  hour, minute, second);
    return stamp + message;
}

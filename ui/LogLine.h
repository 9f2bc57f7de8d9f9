// One line of the activity log: local time stamp, a blank, the message.
#pragma once

#include <ctime>
#include <string>

// `local` may be nullptr when the time could not be converted; the stamp then reads
// "0-00-00 -1:-1:-1".
std::string FormatLogLine(const std::tm* local, const std::string& message);

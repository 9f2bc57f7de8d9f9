// One line of the activity log: local time stamp, a blank, the message; and the daily file
// that keeps it.
#pragma once

#include <ctime>
#include <string>

// `local` may be nullptr when the time could not be converted; the stamp then reads
// "0-00-00 -1:-1:-1".
std::string FormatLogLine(const std::tm* local, const std::string& message);
// The folder beside the program that holds the daily log files.
inline constexpr char kLogFolder[] = "log";
// The daily log file a line with this time stamp goes to, relative to the program's directory:
// "log\" and the line's own date, e.g. "log\2015-03-07.txt" ("log\0-00-00.txt" for nullptr).
std::string LogFileName(const std::tm* local);

// The "config.db" settings file: eight positional lines, one value each.
#pragma once

#include <string>

// In the current folder; a save is written to the temporary file first, which then replaces it.
inline constexpr char kConfigFile[] = "config.db";
inline constexpr char kConfigTempFile[] = "config.db.tmp";

struct ConfigValues {
    int deviceIndex = 0;
    std::string publishUrl;
    int minToTray = 0;
    int bitrateIndex = 1;
    std::string pullUrl;
    std::string accessKey;
    std::string accessId;
    int autoPull = 0;
};

// Drops a UTF-8 byte order mark at the start of the file's first line: an editor may have saved
// the file with one, and it would hide the first value.
void SkipByteOrderMark(std::string& firstLine);

// Removes every blank, CR and LF anywhere in the line; tabs and everything else stay.
void CleanConfigLine(std::string& line);

// atoi semantics (leading white space, optional sign, leading digits; none -> 0), but saturating
// at INT_MAX / INT_MIN instead of overflowing.
int ConfigLineToInt(const std::string& text);

// Stores a cleaned line 1..8 into its member; other line numbers change nothing.
void ApplyConfigLine(int lineNumber, const std::string& cleanedLine, ConfigValues& values);

// The eight lines in file order, each ending in "\r\n". A text value is written only up to its
// first CR or LF, so that the file keeps its eight lines whatever a value holds.
std::string FormatConfig(const ConfigValues& values);

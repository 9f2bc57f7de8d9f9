// Helpers shared by the fuzz targets: file reading as the program does it, code page 936
// repair, and a check that stops the run with a readable message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Ends the run as a finding when `holds` is false.
void Require(bool holds, const char* what);

inline std::string Bytes(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The lines a text-mode stream read byte by byte up to each LF gives: Ctrl-Z ends the file,
// CR LF becomes LF, a lone CR stays, a last line without LF still counts.
std::vector<std::string> ReadTextModeLines(const std::string& file);

// Checked independently of the code under test.
bool IsValidCp936Pair(const std::string& s, size_t i);

// Valid code page 936 text without NUL: ASCII 0x01..0x7F and valid double-byte pairs; every
// other byte becomes '?'.
std::string RepairCp936(const std::string& bytes);

// `count` fields separated by `separator`; missing ones are empty, the last takes the rest.
std::vector<std::string> SplitFields(const std::string& bytes, char separator, size_t count);

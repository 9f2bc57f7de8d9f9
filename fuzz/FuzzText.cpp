#include "FuzzText.h"

#include <cstdio>
#include <cstdlib>

void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

std::vector<std::string> ReadTextModeLines(const std::string& file) {
    const std::string text = file.substr(0, file.find('\x1A'));
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += text[i];
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

bool IsValidCp936Pair(const std::string& s, size_t i) {
    if (i + 1 >= s.size()) return false;
    const auto lead = static_cast<unsigned char>(s[i]);
    const auto trail = static_cast<unsigned char>(s[i + 1]);
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

std::string RepairCp936(const std::string& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (IsValidCp936Pair(bytes, i)) {
            out.append(bytes, i++, 2);
        } else {
            out += c >= 0x01 && c <= 0x7F ? static_cast<char>(c) : '?';
        }
    }
    return out;
}

std::vector<std::string> SplitFields(const std::string& bytes, char separator, size_t count) {
    std::vector<std::string> fields;
    size_t begin = 0;
    while (fields.size() + 1 < count) {
        const size_t end = bytes.find(separator, begin);
        if (end == std::string::npos) break;
        fields.push_back(bytes.substr(begin, end - begin));
        begin = end + 1;
    }
    fields.push_back(begin < bytes.size() ? bytes.substr(begin) : std::string());
    fields.resize(count);
    return fields;
}

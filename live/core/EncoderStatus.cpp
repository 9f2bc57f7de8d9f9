#include "live/core/EncoderStatus.h"

#include "live/core/AudioLevels.h"
#include "live/core/EncoderCommand.h"

#include <algorithm>

namespace {
constexpr char kBlanksAndLineEnds[] = " \t\r\n";
constexpr char kLineEnds[] = "\r\n";
constexpr char kConfigurationMark[] = "configuration:";
constexpr char kLibfdkAacOption[] = "--enable-libfdk-aac";
// A progress line is told by its beginning; a longer line is kept only this far.
constexpr size_t kMaxLineBytes = 512;

// "size=... time=... bitrate=..." (audio) or "frame=... time=..." (video): says that the
// encoder was working, never why it ended.
bool IsProgressLine(const std::string& line) {
    return (line.rfind("size=", 0) == 0 || line.rfind("frame=", 0) == 0) &&
           line.find(" time=") != std::string::npos;
}
} // namespace

std::string LastStatusLine(const std::string& tail, bool cutAtStart) {
    // Lines are taken from the end; `end` is where the line before the one looked at ends.
    for (size_t end = tail.size(); end > 0;) {
        const size_t last = tail.find_last_not_of(kBlanksAndLineEnds, end - 1);
        if (last == std::string::npos) break;
        const size_t lineEnd = tail.find_last_of(kLineEnds, last);
        if (lineEnd == std::string::npos && cutAtStart) break;
        const size_t first = lineEnd == std::string::npos ? 0 : lineEnd + 1;
        end = first;
        std::string line = tail.substr(first, last + 1 - first);
        line.erase(0, line.find_first_not_of(kBlanksAndLineEnds));
        if (!IsProgressLine(line) && !IsLevelLine(line)) return line;
    }
    return "";
}

void ProgressScan::Feed(const std::string& bytes, unsigned long long offset) {
    if (m_bSeen) return;
    if (offset != m_nEnd) {
        m_strLine.clear();
        m_nLineAt = offset;
        m_bFragment = true;
    }
    m_nEnd = offset + bytes.size();
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find_first_of(kLineEnds, at);
        const size_t stop = end == std::string::npos ? bytes.size() : end;
        if (m_strLine.size() < kMaxLineBytes)
            m_strLine.append(bytes, at, std::min(stop - at, kMaxLineBytes - m_strLine.size()));
        // A line not yet ended may already show itself as a progress line.
        const size_t blanks = m_strLine.find_first_not_of(kBlanksAndLineEnds);
        if (!m_bFragment && blanks != std::string::npos &&
            IsProgressLine(m_strLine.substr(blanks))) {
            m_bSeen = true;
            m_nFirstAt = m_nLineAt + blanks;
            return;
        }
        if (end == std::string::npos) break;
        at = end + 1;
        m_strLine.clear();
        m_nLineAt = offset + at;
        m_bFragment = false;
    }
}

bool LacksLibfdkAac(const std::string& tail) {
    return tail.find(std::string("Unknown encoder '") + kLibfdkAac + "'") != std::string::npos;
}

LibfdkAac LibfdkAacInBanner(const std::string& output) {
    const size_t mark = output.find(kConfigurationMark);
    if (mark == std::string::npos) return LibfdkAac::kUnknown;
    const size_t end = output.find_first_of(kLineEnds, mark);
    const std::string line = output.substr(mark, end - mark);
    // Whole options only: --enable-libfdk-aac-something would be another one.
    for (size_t at = line.find(kLibfdkAacOption); at != std::string::npos;
         at = line.find(kLibfdkAacOption, at + 1)) {
        const size_t after = at + sizeof kLibfdkAacOption - 1;
        if (line[at - 1] == ' ' && (after == line.size() || line[after] == ' '))
            return LibfdkAac::kPresent;
    }
    return LibfdkAac::kAbsent;
}

#include "live/core/Recording.h"

#include <cstdio>

namespace {

constexpr int64_t kDaySeconds = 86400;
constexpr char kExtension[] = ".aac";
// "2026-12-09" and "_10-00-00": ten and nine characters.
constexpr size_t kDayLength = 10;
constexpr size_t kTimeLength = 9;
constexpr size_t kAdtsHeaderSize = 7;
// The sampling rates an ADTS header can name.
constexpr unsigned kSamplingRates = 13;

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool IsDigits(const std::string& text, size_t at, size_t count) {
    for (size_t i = at; i < at + count; ++i)
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    return true;
}

int Number(const std::string& text, size_t at, size_t count) {
    return std::stoi(text.substr(at, count));
}

// True when `text` holds "YYYY-MM-DD" at `at`, a date that exists.
bool ParseDate(const std::string& text, size_t at, LocalTime& time) {
    if (text.size() < at + kDayLength || !IsDigits(text, at, 4) || text[at + 4] != '-' ||
        !IsDigits(text, at + 5, 2) || text[at + 7] != '-' || !IsDigits(text, at + 8, 2))
        return false;
    time.year = Number(text, at, 4);
    time.month = Number(text, at + 5, 2);
    time.day = Number(text, at + 8, 2);
    LocalTime check = LocalTimeOf(LocalSeconds(time));
    return time.month >= 1 && time.month <= 12 && check.day == time.day &&
           check.month == time.month;
}

size_t AdtsFrameLength(const std::string& bytes, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    return (byte(3) & 0x03u) << 11 | byte(4) << 3 | byte(5) >> 5;
}

// The sync word, layer 0 (MPEG-2 or -4) and a sampling rate that exists: a stray 0xFFF in the
// bytes after a lost datagram is seldom all of that.
bool IsAdtsStart(const std::string& bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]) == 0xFF &&
           (static_cast<unsigned char>(bytes[at + 1]) & 0xF6) == 0xF0 &&
           (static_cast<unsigned char>(bytes[at + 2]) >> 2 & 0x0F) < kSamplingRates;
}

} // namespace

int64_t LocalSeconds(const LocalTime& time) {
    return DaysFromCivil(time.year, time.month, time.day) * kDaySeconds + time.hour * 3600 +
           time.minute * 60 + time.second;
}

LocalTime LocalTimeOf(int64_t seconds) {
    int64_t days = seconds / kDaySeconds;
    int64_t rest = seconds % kDaySeconds;
    if (rest < 0) {
        rest += kDaySeconds;
        --days;
    }
    // The inverse of DaysFromCivil.
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    LocalTime time;
    time.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    time.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    time.year = static_cast<int>(yearOfEra + era * 400 + (time.month <= 2));
    time.hour = static_cast<int>(rest / 3600);
    time.minute = static_cast<int>(rest / 60 % 60);
    time.second = static_cast<int>(rest % 60);
    return time;
}

std::string RecordingDayFolder(const LocalTime& time) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d", time.year % 10000, time.month % 100,
                  time.day % 100);
    return name;
}

std::string RecordingFileName(const LocalTime& start, int copy) {
    char time[16];
    std::snprintf(time, sizeof time, "_%02d-%02d-%02d", start.hour % 100, start.minute % 100,
                  start.second % 100);
    std::string name = RecordingDayFolder(start) + time;
    if (copy > 1) name += "_" + std::to_string(copy);
    return name + kExtension;
}

bool ParseRecordingDayFolder(const std::string& name, LocalTime& day) {
    LocalTime parsed;
    if (name.size() != kDayLength || !ParseDate(name, 0, parsed)) return false;
    day = parsed;
    return true;
}

bool ParseRecordingFileName(const std::string& name, const LocalTime& day, LocalTime& start) {
    const size_t stem = kDayLength + kTimeLength;
    const size_t extension = sizeof kExtension - 1;
    if (name.size() < stem + extension ||
        name.compare(name.size() - extension, extension, kExtension) != 0 ||
        name.compare(0, kDayLength, RecordingDayFolder(day)) != 0)
        return false;
    if (name[10] != '_' || !IsDigits(name, 11, 2) || name[13] != '-' || !IsDigits(name, 14, 2) ||
        name[16] != '-' || !IsDigits(name, 17, 2))
        return false;
    // A copy's number: "_2" and up, no leading zero.
    const size_t copyLength = name.size() - extension - stem;
    if (copyLength != 0 &&
        (copyLength < 2 || name[stem] != '_' || name[stem + 1] == '0' ||
         !IsDigits(name, stem + 1, copyLength - 1) || (copyLength == 2 && name[stem + 1] == '1')))
        return false;
    LocalTime parsed = day;
    parsed.hour = Number(name, 11, 2);
    parsed.minute = Number(name, 14, 2);
    parsed.second = Number(name, 17, 2);
    if (parsed.hour > 23 || parsed.minute > 59 || parsed.second > 59) return false;
    start = parsed;
    return true;
}

bool RejectsRecordingOutput(const std::string& tail) {
    return tail.find("Requested output format 'tee'") != std::string::npos;
}

bool RecordingExpired(const LocalTime& start, const LocalTime& now, int keepDays) {
    return LocalSeconds(now) - LocalSeconds(start) > keepDays * kDaySeconds;
}

int64_t RecordingPeriod(const LocalTime& time, int periodSeconds) {
    const int64_t seconds = LocalSeconds(time);
    return (seconds >= 0 ? seconds : seconds - periodSeconds + 1) / periodSeconds;
}

LocalTime RecordingPeriodStart(const LocalTime& time, int periodSeconds) {
    return LocalTimeOf(RecordingPeriod(time, periodSeconds) * periodSeconds);
}

bool FreeSpaceGate::Update(uint64_t freeBytes) {
    const bool paused = m_bPaused ? freeBytes < m_floor + m_floor / 16 : freeBytes < m_floor;
    const bool changed = paused != m_bPaused;
    m_bPaused = paused;
    return changed;
}

void AdtsFrames::Feed(const char* data, size_t size) {
    m_strPending.append(data, size);
}

bool AdtsFrames::Next(std::string& frame) {
    size_t at = 0;
    for (; at + kAdtsHeaderSize <= m_strPending.size(); ++at) {
        if (!IsAdtsStart(m_strPending, at)) continue;
        const size_t length = AdtsFrameLength(m_strPending, at);
        if (length < kAdtsHeaderSize) continue;
        if (at + length > m_strPending.size()) break;
        frame.assign(m_strPending, at, length);
        m_strPending.erase(0, at + length);
        return true;
    }
    m_strPending.erase(0, at);
    return false;
}

// The logger recording's plain rules: how its files and day folders are named, which of them
// retention deletes, when a full drive pauses it, and how the encoder's ADTS stream is cut into
// whole frames so that every file starts and ends on one.
#pragma once

#include <cstdint>
#include <string>

// A local calendar time, as the clock shows it.
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Seconds since 1970-01-01 00:00 of the same clock, for comparing and stepping local times.
int64_t LocalSeconds(const LocalTime& time);
LocalTime LocalTimeOf(int64_t seconds);

// "2026-12-09", the folder of a day's files.
std::string RecordingDayFolder(const LocalTime& time);
// "2026-12-09_10-00-00.aac", a file that starts then; a second file of that second gets "_2"
// before the extension, and so on, so that no file is ever written over.
std::string RecordingFileName(const LocalTime& start, int copy);
// True, with the day, for a name that RecordingDayFolder gives.
bool ParseRecordingDayFolder(const std::string& name, LocalTime& day);
// True, with its start, for a name that RecordingFileName gives in the folder of `day`: nothing
// else in a recording folder is ever taken for a recording.
bool ParseRecordingFileName(const std::string& name, const LocalTime& day, LocalTime& start);

// True when the encoder refused the recording's command line, as a build without the tee output
// does: the broadcast then goes on without it.
bool RejectsRecordingOutput(const std::string& tail);

// A recording that started before `now` by more than `keepDays` days is deleted.
bool RecordingExpired(const LocalTime& start, const LocalTime& now, int keepDays);

// The clock period (an hour, or what a test sets) that a time falls in; a new one starts a file.
int64_t RecordingPeriod(const LocalTime& time, int periodSeconds);
LocalTime RecordingPeriodStart(const LocalTime& time, int periodSeconds);

// Below its floor of free space the recording pauses; it resumes once the drive has the floor
// and a margin more, so that a drive at the floor does not pause and resume over and over.
class FreeSpaceGate {
  public:
    explicit FreeSpaceGate(uint64_t floorBytes) : m_floor(floorBytes) {}
    // Takes the drive's free space; true when that pauses or resumes the recording.
    bool Update(uint64_t freeBytes);
    bool Paused() const { return m_bPaused; }

  private:
    uint64_t m_floor;
    bool m_bPaused = false;
};

// Cuts the bytes the encoder sends into ADTS frames, however they are split into datagrams;
// bytes that are no frame are dropped up to the next frame's start.
class AdtsFrames {
  public:
    void Feed(const char* data, size_t size);
    // The next whole frame, header included.
    bool Next(std::string& frame);

  private:
    std::string m_strPending;
};

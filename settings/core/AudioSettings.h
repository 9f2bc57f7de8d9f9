// "settings.ini": the settings that config.db's eight lines have no room for, one "key=value" a
// line, beside config.db. Older copies of the program read config.db as before and never this.
#pragma once

#include <string>
#include <vector>

// In the current folder; a save is written to the temporary file first, which then replaces it.
inline constexpr char kAudioSettingsFile[] = "settings.ini";
inline constexpr char kAudioSettingsTempFile[] = "settings.ini.tmp";

struct AudioSettings {
    // Quieter than this, in dBFS, counts as silence.
    int thresholdDb = -50;
    int silenceSeconds = 30;
    // How long sound must last to end an alarm.
    int returnSeconds = 3;
    // A silence alarm hands the stream to the relay until sound returns.
    bool backupRelay = false;
    // The encoder measures the audio it sends; off, it gets its command line without the filters.
    bool measureLevels = true;

    // The logger recording of what goes on air, off by default.
    bool record = false;
    // Where its day folders go; empty for the installation's own folder.
    std::string recordFolder;
    int recordDays = 42;
    // Below this much free space on the folder's drive, in MiB, recording pauses; 0 records
    // until the drive is full.
    int recordFloorMb = 1024;
    // A file each clock period: an hour, shorter only for tests.
    int recordPeriodSeconds = 3600;
};

// The settings in a file's text, LF or CR LF. A number out of its range is brought into it; a
// value that is missing or no number takes its default, and its key goes to `bad`; the
// recording's keys, which files of older copies lack, only when they are there and wrong. A text
// is taken as it stands, blanks around it left aside.
AudioSettings ParseAudioSettings(const std::string& text, std::vector<std::string>& bad);

// The file's text: every key, one a line, each ending in "\n".
std::string FormatAudioSettings(const AudioSettings& settings);

// What the encoder wrote into its status file, read back after it exited: ffmpeg ends progress
// lines with CR and other lines with LF or CR LF, in UTF-8.
#pragma once

#include <cstddef>
#include <string>

// The machine's shared status file. It goes to one installation at a time, the one that holds
// the claim; the others use their own, with this name in their log folder.
inline constexpr char kStatusFile[] = "c://NetStatus.txt";
inline constexpr char kStatusFileClaim[] = "Global\\Sonafeed-NetStatus";
inline constexpr char kOwnStatusFileName[] = "NetStatus.txt";

// How much of the status file's end is read: the last line is all that is wanted.
inline constexpr size_t kStatusTailBytes = 4096;
// The same with the measuring filters on: their lines, ten a second for each channel, fill 4 KiB
// in under two seconds, which would leave the last line of a stalled encoder out. This holds
// about as many seconds of output as 4 KiB of progress lines alone do.
inline constexpr size_t kMeasuredStatusTailBytes = 64 * 1024;

// The last line of `tail` that holds more than blanks and is no progress line, without its blanks
// around it; empty when there is none. `cutAtStart`: the tail begins inside the file, so its
// first line may be a fragment, which is never taken.
std::string LastStatusLine(const std::string& tail, bool cutAtStart);

// Looks for the encoder's first progress line, which it writes once it is through to its server
// and publishing, in its output as the output grows: fed piece by piece, never all at once.
class ProgressScan {
  public:
    // For a new encoder's output.
    void Reset() { *this = ProgressScan(); }
    // Takes the output's bytes from `offset` on. An offset past the end of what came before
    // skips the bytes between: the line they end in is a fragment and never counts.
    void Feed(const std::string& bytes, unsigned long long offset);
    bool Seen() const { return m_bSeen; }
    // Where the first progress line starts in the output; only once Seen().
    unsigned long long FirstAt() const { return m_nFirstAt; }
    // Where the bytes fed so far end.
    unsigned long long End() const { return m_nEnd; }

  private:
    // The line not yet ended (its beginning only, which is all a progress line needs).
    std::string m_strLine;
    unsigned long long m_nLineAt = 0;
    bool m_bFragment = false;
    unsigned long long m_nEnd = 0;
    bool m_bSeen = false;
    unsigned long long m_nFirstAt = 0;
};

// True when the encoder said that it has no libfdk_aac encoder, as a build without it does
// when asked for one. Newer builds print more lines after that one, so all of `tail` counts.
bool LacksLibfdkAac(const std::string& tail);

// What the encoder's banner, which it prints first in every mode, says of libfdk_aac: its
// "configuration:" line names --enable-libfdk-aac when the build has it.
enum class LibfdkAac { kUnknown, kPresent, kAbsent };
LibfdkAac LibfdkAacInBanner(const std::string& output);

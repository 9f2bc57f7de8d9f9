// The encoder's command line for publishing the selected capture device.
#pragma once

#include <string>

// The encoder's file, beside the program's; appended to the program's folder.
inline constexpr char kEncoderFileName[] = "\\ffmpeg.exe";

// True when `image`, a running process's image path as Windows reports it, names the encoder
// file `encoder`: ASCII letters compare without regard to case (never inside a double-byte
// character), and the "\\?\" prefix of a long path is left aside.
bool IsEncoderImage(const std::string& image, const std::string& encoder);

// The bitrates in kbit/s, the bitrate box's entries in this order; a stored position means one
// of them.
inline constexpr const char* kBitrates[] = {"32", "48", "64", "96", "128", "192"};
inline constexpr int kDefaultBitrateIndex = 1;

// The AAC encoder asked for, and the one that every build of the encoder has built in, for a
// build without it.
inline constexpr char kLibfdkAac[] = "libfdk_aac";
inline constexpr char kBuiltInAac[] = "aac";

// " -f dshow -i audio="<device>" -y -c:a <aacEncoder> -b:a <bitrate>k -f flv <publishUrl> ", with
// the device name and the address escaped so that each stays exactly one argument under the
// Windows command-line rules. Unbounded in length. With `filters` (no blanks), " -af <filters>"
// follows "-y". With `recordPort`, the one encoding goes to two outputs through the tee muxer:
// the address as before, and ADTS to that loopback UDP port for the recording, whose failure
// the encoder ignores:
// " ... -map 0:a -flags +global_header -c:a <aacEncoder> -b:a <bitrate>k -f tee
// "[f=flv]<publishUrl>|[f=adts:onfail=ignore]udp://127.0.0.1:<recordPort>" ".
std::string BuildEncoderArgs(const std::string& device, const std::string& bitrate,
                             const std::string& publishUrl, const char* aacEncoder,
                             const char* filters = nullptr, unsigned short recordPort = 0);

// " -f dshow -i audio="<device>" -af <filters> -f null - ": the device captured and measured,
// nothing encoded or published.
std::string BuildMonitorArgs(const std::string& device, const char* filters);

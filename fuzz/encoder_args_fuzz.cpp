// The encoder's arguments split by the Windows C runtime must give back the device name and
// the publish address each as one argument, unchanged.
#include "FuzzText.h"

#include "live/core/EncoderCommand.h"
#include "live/core/PublishUrl.h"

#include <iterator>

namespace {

// The runtime's rules for the arguments after the program name: blanks and tabs separate
// outside quotes; 2n backslashes before a quote give n and the quote toggles quoting, 2n+1 give
// n and a literal quote; "" inside quotes is a literal quote; other backslashes are literal.
// A double-byte character is taken whole, so its trail byte is never a backslash.
std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = line.size();
    while (true) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i == n) return args;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (IsValidCp936Pair(line, i)) {
                arg.append(line, i, 2);
                i += 2;
                continue;
            }
            size_t backslashes = 0;
            for (; i < n && line[i] == '\\'; ++i)
                ++backslashes;
            if (i < n && line[i] == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    arg += '"';
                    ++i;
                } else if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else if (backslashes > 0) {
                arg.append(backslashes, '\\');
            } else {
                arg += line[i++];
            }
        }
        args.push_back(arg);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> fields = SplitFields(Bytes(data, size), '\0', 2);
    const std::string device = RepairCp936(fields[0]);
    std::string url = RepairCp936(fields[1]);
    RemoveBlanks(url);
    // Never reaches the encoder: the check before going live rejects an empty address.
    if (url.empty()) return 0;
    const std::string bitrate = kBitrates[size % std::size(kBitrates)];

    const std::vector<std::string> expected = {
        "-f", "dshow", "-i", "audio=" + device, "-y", "-c:a", "libfdk_aac", "-b:a", bitrate + "k",
        "-f", "flv",   url};
    const std::vector<std::string> args =
        SplitCommandLine(BuildEncoderArgs(device, bitrate, url, kLibfdkAac));
    Require(args.size() == expected.size(), "the argument count is fixed");
    Require(args[3] == expected[3], "the device name is one argument, unchanged");
    Require(args.back() == url, "the address is one argument, unchanged");
    Require(args == expected, "the fixed arguments are in place");
    return 0;
}

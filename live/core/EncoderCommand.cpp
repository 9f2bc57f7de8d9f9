#include "live/core/EncoderCommand.h"

#include "framework/core/Cp936.h"

namespace {

constexpr char kLongPathPrefix[] = "\\\\?\\";

std::string WithoutLongPathPrefix(const std::string& path) {
    return path.compare(0, sizeof kLongPathPrefix - 1, kLongPathPrefix) == 0
               ? path.substr(sizeof kLongPathPrefix - 1)
               : path;
}

// ASCII letters in lower case; double-byte characters as they are.
std::string FoldedPath(const std::string& path) {
    std::string folded = WithoutLongPathPrefix(path);
    for (size_t i = 0; i < folded.size(); ++i) {
        if (IsCp936DoubleByte(folded, i))
            ++i;
        else if (folded[i] >= 'A' && folded[i] <= 'Z')
            folded[i] = static_cast<char>(folded[i] - 'A' + 'a');
    }
    return folded;
}

// Escapes text that goes between double quotes: a quote becomes \" and the backslashes in
// front of it are doubled. Backslashes at the very end are doubled too, because they precede
// the closing quote: a name ending in a backslash would otherwise swallow that quote.
void AppendQuotedBody(std::string& out, const std::string& text) {
    size_t backslashes = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsCp936DoubleByte(text, i)) {
            // Taken whole: a trail byte 0x5C is part of the character, not a backslash.
            out.append(backslashes, '\\');
            backslashes = 0;
            out.append(text, i, 2);
            ++i;
        } else if (text[i] == '\\') {
            ++backslashes;
        } else if (text[i] == '"') {
            out.append(backslashes * 2 + 1, '\\');
            out += '"';
            backslashes = 0;
        } else {
            out.append(backslashes, '\\');
            backslashes = 0;
            out += text[i];
        }
    }
    out.append(backslashes * 2, '\\');
}

// The tee muxer's escapes for an output inside its list: a backslash before each backslash,
// quote and bar, which would otherwise escape, quote or split. The encoder reads its command line
// as Unicode, so a double-byte character's trail byte is no backslash to it.
std::string TeeEscaped(const std::string& url) {
    std::string escaped;
    for (size_t i = 0; i < url.size(); ++i) {
        if (IsCp936DoubleByte(url, i)) {
            escaped.append(url, i, 2);
            ++i;
            continue;
        }
        if (url[i] == '\\' || url[i] == '\'' || url[i] == '|') escaped += '\\';
        escaped += url[i];
    }
    return escaped;
}

// " -f dshow -i audio="<device>"".
std::string CaptureArgs(const std::string& device) {
    std::string args = " -f dshow -i audio=\"";
    AppendQuotedBody(args, device);
    return args + '"';
}

} // namespace

std::string BuildEncoderArgs(const std::string& device, const std::string& bitrate,
                             const std::string& publishUrl, const char* aacEncoder,
                             const char* filters, unsigned short recordPort) {
    std::string args = CaptureArgs(device) + " -y";
    if (filters) args += std::string(" -af ") + filters;
    // The tee muxer takes only mapped streams, and cannot tell the encoder that FLV wants the
    // codec's configuration apart from the frames.
    if (recordPort) args += " -map 0:a -flags +global_header";
    args += " -c:a ";
    args += aacEncoder;
    args += " -b:a ";
    args += bitrate;
    if (recordPort) {
        args += "k -f tee \"";
        AppendQuotedBody(
            args, "[f=flv]" + TeeEscaped(publishUrl) +
                      "|[f=adts:onfail=ignore]udp://127.0.0.1:" + std::to_string(recordPort));
        return args + "\" ";
    }
    args += "k -f flv ";
    // Blanks were removed from the address beforehand; only a tab or a quote can still split it.
    if (publishUrl.find_first_of("\t\"") == std::string::npos) {
        args += publishUrl;
    } else {
        args += '"';
        AppendQuotedBody(args, publishUrl);
        args += '"';
    }
    args += ' ';
    return args;
}

bool IsEncoderImage(const std::string& image, const std::string& encoder) {
    return !image.empty() && FoldedPath(image) == FoldedPath(encoder);
}

std::string BuildMonitorArgs(const std::string& device, const char* filters) {
    return CaptureArgs(device) + " -af " + filters + " -f null - ";
}

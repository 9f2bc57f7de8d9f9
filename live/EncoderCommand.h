// The encoder's command line for publishing the selected capture device.
#pragma once

#include <string>

// " -f dshow -i audio="<device>" -y -c:a libfdk_aac -b:a <bitrate>k -f flv <publishUrl> ", with
// the device name and the address escaped so that each stays exactly one argument under the
// Windows command-line rules. Unbounded in length.
std::string BuildEncoderArgs(const std::string& device, const std::string& bitrate,
                             const std::string& publishUrl);

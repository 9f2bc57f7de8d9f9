// Device listings as the encoder prints them, in UTF-8 (u8 literals keep UTF-8 whatever the
// narrow execution character set; the device box and "device.txt" hold code page 936), for the
// double to print at its next listing run.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/support/SonafeedRun.h"

namespace e2e {

inline constexpr char kListingFile[] = "listing.txt";

// The older format: a video section, then the audio section, each device followed by its
// alternative name, CR LF line ends as the tool prints them.
std::string ClassicListing(const std::vector<std::string>& audio, bool end_mark = true);
// The newer format: no section headers, a type list ("audio", "audio, video", ...) after each
// name, a prefix on every line.
std::string NewerListing(const std::vector<std::pair<std::string, std::string>>& devices,
                         bool exit_line = true);

// Writes `listing` and the double's control file naming it, with `more_control` lines added.
::testing::AssertionResult UseListing(const SonafeedRun& run, const std::string& listing,
                                      const std::string& more_control = "");

} // namespace e2e

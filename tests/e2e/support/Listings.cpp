#include "tests/e2e/support/Listings.h"

namespace e2e {

std::string ClassicListing(const std::vector<std::string>& audio, bool end_mark) {
    const std::string prefix = "[dshow @ 02d3e720] ";
    std::string text = prefix + "DirectShow video devices (some may be both video and audio)\r\n" +
                       prefix + " \"Cam Vexo 2\"\r\n" + prefix +
                       "    Alternative name \"@device_pnp_\\\\?\\usb#vid_2f1a\"\r\n" + prefix +
                       "DirectShow audio devices\r\n";
    int n = 0;
    for (const std::string& name : audio)
        text += prefix + " \"" + name + "\"\r\n" + prefix +
                "    Alternative name \"@device_cm_{33D9A762}\\wave_{" + std::to_string(++n) +
                "}\"\r\n";
    if (end_mark) text += "dummy: Immediate exit requested\r\n";
    return text;
}

std::string NewerListing(const std::vector<std::pair<std::string, std::string>>& devices,
                         bool exit_line) {
    const std::string prefix = "[dshow @ 0000020290e46d00] ";
    std::string text;
    int n = 0;
    for (const auto& [name, types] : devices)
        text += prefix + "\"" + name + "\" (" + types + ")\r\n" + prefix +
                "  Alternative name \"@device_cm_{33D9A762}\\wave_{" + std::to_string(++n) +
                "}\"\r\n";
    if (exit_line) text += "[in#0 @ 000001] Error opening input: Immediate exit requested\r\n";
    return text;
}

::testing::AssertionResult UseListing(const SonafeedRun& run, const std::string& listing,
                                      const std::string& more_control) {
    const std::string control = std::string("listing=") + kListingFile + "\r\n" + more_control;
    if (run.WriteFileBytes(kListingFile, listing) &&
        run.WriteFileBytes("ffmpeg-double.txt", control))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cannot write the double's files in " << run.Dir();
}

} // namespace e2e

// The encoder's device listing as the program reads it from device.txt; the first byte says
// whether the listing tool exited by itself.
#include "FuzzText.h"

#include "devices/core/DeviceListParser.h"

namespace {

bool SameParse(const DeviceListParse& a, const DeviceListParse& b) {
    return a.listReset == b.listReset && a.names == b.names && a.alternatives == b.alternatives &&
           a.fillBox == b.fillBox && a.searchRestarts == b.searchRestarts;
}

bool QuotedInSomeLine(const std::string& name, const std::vector<std::string>& lines) {
    const std::string quoted = '"' + name + '"';
    for (const std::string& line : lines) {
        if (line.find(quoted) != std::string::npos) return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool listingComplete = (data[0] & 1) != 0;
    const std::vector<std::string> lines = ReadTextModeLines(Bytes(data + 1, size - 1));

    const DeviceListParse parse = ParseDeviceLines(lines, listingComplete);
    Require(!parse.fillBox || parse.listReset, "refilling the box implies a new list");
    Require(parse.listReset || parse.names.empty(), "names come only with a new list");
    Require(parse.searchRestarts >= 0 && static_cast<size_t>(parse.searchRestarts) <= lines.size(),
            "at most one restart a line");
    for (const std::string& name : parse.names) {
        Require(QuotedInSomeLine(name, lines), "every name stands between quotes in a line");
    }
    Require(parse.alternatives.size() == parse.names.size(), "an alternative for every name");

    // A CR left at each line's end (a file written with CR CR LF) must not change anything.
    std::vector<std::string> withCr = lines;
    for (std::string& line : withCr)
        line += '\r';
    Require(SameParse(ParseDeviceLines(withCr, listingComplete), parse),
            "a trailing CR is harmless");
    return 0;
}

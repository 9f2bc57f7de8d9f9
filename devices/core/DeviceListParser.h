// Reads the audio capture devices out of the encoder's device listing (code page 936 text).
#pragma once

#include <string>
#include <vector>

struct DeviceListParse {
    bool listReset = false;         // the device list was emptied and `names` replaces it
    std::vector<std::string> names; // names collected since the last reset, in listing order
    bool fillBox = false;           // the list ended properly: the device box is refilled
    int searchRestarts = 0;         // how many times texts::kDeviceSearchRestart was logged
};

// `lines` come without their LF (a trailing CR is harmless). `listingComplete` tells whether the
// listing tool exited by itself rather than being cut short by a time-out.
DeviceListParse ParseDeviceLines(const std::vector<std::string>& lines, bool listingComplete);

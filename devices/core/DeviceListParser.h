// The encoder's device listing: how it is asked for, where it is kept, and the audio capture
// devices read out of it (code page 936 text).
#pragma once

#include <string>
#include <vector>

// The encoder's arguments for the listing, and the file in the current folder that keeps it.
inline constexpr char kListDevicesArgs[] = " -list_devices true -f dshow -i dummy ";
inline constexpr char kDeviceFile[] = "device.txt";

struct DeviceListParse {
    bool listReset = false;         // the device list was emptied and `names` replaces it
    std::vector<std::string> names; // names collected since the last reset, in listing order
    bool fillBox = false;           // the list ended properly: the device box is refilled
    int searchRestarts = 0;         // how many times texts::kDeviceSearchRestart was logged
};

// `lines` come without their LF (a trailing CR is harmless). `listingComplete` tells whether the
// listing tool exited by itself rather than being cut short by a time-out.
DeviceListParse ParseDeviceLines(const std::vector<std::string>& lines, bool listingComplete);

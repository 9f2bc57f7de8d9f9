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
    // Each name's alternative name ("@device_..."), which the encoder takes in place of the
    // name; empty where the listing gives none.
    std::vector<std::string> alternatives;
    bool fillBox = false;   // the list ended properly: the device box is refilled
    int searchRestarts = 0; // how many times texts::kDeviceSearchRestart was logged
};

// `lines` come without their LF (a trailing CR is harmless). `listingComplete` tells whether the
// listing tool exited by itself rather than being cut short by a time-out.
DeviceListParse ParseDeviceLines(const std::vector<std::string>& lines, bool listingComplete);

// The name the encoder opens a device by: its alternative name where the name it is shown by
// holds a "?", which is what the listing's conversion into code page 936 makes of a character
// that the code page lacks ("Intel® Smart Sound", a Korean name); the name itself otherwise, or
// when there is no alternative.
std::string EncoderDeviceName(const std::string& shown, const std::string& alternative);

// The main dialog's control ids as the operator-facing contract, kept apart from the
// product's resource header so that a changed id there fails the tests.
#pragma once

namespace e2e::ids {

inline constexpr int kLog = 1000;
inline constexpr int kDevice = 1001;
inline constexpr int kRefreshDevices = 1002;
inline constexpr int kPublishUrl = 1003;
inline constexpr int kStartLive = 1004;
inline constexpr int kClearLog = 1005;
inline constexpr int kMinimizeToTray = 1007;
inline constexpr int kBitrate = 1008;
inline constexpr int kAccessKey = 1009;
inline constexpr int kAccessId = 1010;
inline constexpr int kPullUrl = 1011;
inline constexpr int kStartPull = 1012;
inline constexpr int kAutoPull = 1013;
// After the main dialog's original controls: the level meter, and the settings dialog's controls.
inline constexpr int kLevelMeter = 1014;
inline constexpr int kSilenceThreshold = 1015;
inline constexpr int kSilenceSeconds = 1016;
inline constexpr int kReturnSeconds = 1017;
inline constexpr int kBackupRelay = 1018;
inline constexpr int kMeasureLevels = 1019;
// The About item added to the system menu, and the settings item below it.
inline constexpr int kAboutCommand = 0x0010;
inline constexpr int kSettingsCommand = 0x0020;

} // namespace e2e::ids

// Resource identifiers, shared by the resource script and the code.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SONAFEED_DIALOG 102
#define IDD_SETTINGS 103
#define IDS_SETTINGS 104

#define IDC_LOG_LIST 1000
#define IDC_DEVICE_COMBO 1001
#define IDC_REFRESH_DEVICES 1002
#define IDC_PUBLISH_URL 1003
#define IDC_START_LIVE 1004
#define IDC_CLEAR_LOG 1005
#define IDC_MIN_TO_TRAY 1007
#define IDC_BITRATE_COMBO 1008
#define IDC_ACCESS_KEY 1009
#define IDC_ACCESS_ID 1010
#define IDC_PULL_URL 1011
#define IDC_START_PULL 1012
#define IDC_AUTO_PULL 1013
// Beyond the main dialog's own: the level meter, and the settings dialog's controls.
#define IDC_LEVEL_METER 1014
#define IDC_SILENCE_THRESHOLD 1015
#define IDC_SILENCE_SECONDS 1016
#define IDC_RETURN_SECONDS 1017
#define IDC_BACKUP_RELAY 1018
#define IDC_MEASURE_LEVELS 1019
#define IDC_RECORD 1020
#define IDC_RECORD_FOLDER 1021
#define IDC_RECORD_DAYS 1022
#define IDC_RECORD_FREE_MB 1023

// The level meter's window class (ui/LevelMeter.h).
#define LEVEL_METER_CLASS "SonafeedLevelMeter"

#define IDM_ABOUTBOX 0x0010
#define IDM_SETTINGS 0x0020

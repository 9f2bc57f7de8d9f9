// Resource identifiers, shared by the resource script and the code.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SONAFEED_DIALOG 102

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

#define IDM_ABOUTBOX 0x0010

// CSonafeedDlg: the main dialog. It owns all of the program's state; every operation of the
// program is one of its member functions, called through the message map or by each other.
#pragma once
#include "framework/Dialog.h"
#include "framework/Handle.h"
#include "framework/Job.h"
#include "framework/MessageMap.h"
#include "framework/Process.h"
#include "framework/StdioFile.h"
#include "framework/StringArray.h"
#include "instance/core/CommandLine.h"
#include "live/EncoderHealth.h"
#include "live/Recorder.h"
#include "live/core/RtmpServer.h"
#include "live/core/Watchdog.h"
#include "relay/OpenApiClient.h"
#include "settings/core/AudioSettings.h"
#include "ui/LabelFit.h"
#include "res/resource.h"

#include <shellapi.h>

#include <vector>

struct ConfigValues;

// The shell's original notification-icon record (88 bytes in a 32-bit program), which every
// shell version accepts.
struct NotifyIconRecord {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
};
static_assert(sizeof(NotifyIconRecord) == NOTIFYICONDATAA_V1_SIZE,
              "the shell reads exactly this layout");

// The tray icon's callback message.
constexpr UINT WM_TRAYNOTIFY = WM_USER + 1;
// The watchdog timer on the main dialog, and the faster one that watches a down encoder.
constexpr UINT_PTR IDT_WATCHDOG = 100;
constexpr UINT_PTR IDT_ENCODER_WATCH = 101;
// A server check's outcome (after WM_APP + 1, the instance command).
constexpr UINT WM_SERVER_CHECKED = WM_APP + 2;
// An open API request given up on has ended; its outcome waits in the client.
constexpr UINT WM_PULL_ANSWERED_LATE = WM_APP + 3;
// The recording's helper has something to say (a RecordingEvent).
constexpr UINT WM_RECORDING_EVENT = WM_APP + 4;

class CSonafeedDlg : public CDialog {
  public:
    CSonafeedDlg();
    ~CSonafeedDlg() override;

    // Runs `command` as a later start's command once start-up is done (Commands.cpp).
    void QueueCommand(AppCommand command);

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Enter and Escape must not end the program behind OnClose's back: the encoder would go on
    // publishing as an orphan and a held relay would never be stopped.
    void OnOK() override {}
    void OnCancel() override {}

    // Start-up and window (SonafeedDlg.cpp).
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnClose();

    // Activity log (ActivityLog.cpp).
    void AddLog(CString message);
    void OnClearLog();

    // Commands of later starts (Commands.cpp).
    LRESULT OnInstanceCommand(WPARAM wParam, LPARAM lParam);
    void RunCommand(AppCommand command);

    // Tray icon (Tray.cpp).
    void MinimizeToTray();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void AddTrayIcon();
    void ShowSilenceInTray(bool silent);

    // Settings (Settings.cpp).
    bool LoadConfig();
    bool ReadConfigLine(CStdioFile& file, CString& line);
    void SaveConfig();
    void OnDeviceSel();
    void OnBitrateSel();
    void OnMinToTray();
    void OnAutoPull();
    void LoadAudioSettings();
    void SaveAudioSettings();
    void ApplyAudioSettings();

    // Capture devices (DeviceListing.cpp, DeviceList.cpp).
    void RefreshDevices();
    void ParseDeviceList(bool listingComplete);
    void FillDeviceCombo();
    CString EncoderDevice() const;

    // Live broadcast (PublishCheck.cpp, Encoder.cpp, LiveControl.cpp).
    bool CheckPublishUrl();
    bool CheckBeforeLive();
    void StartEncoder();
    void StopEncoder();
    void OnStartLive();
    void OnTimer(UINT_PTR nIDEvent);
    LRESULT OnServerChecked(WPARAM encoderRun, LPARAM answers);

    // Levels and silence (Levels.cpp), the relay as the backup of a silent studio (Backup.cpp).
    void ShowLevels();
    void ClearLevels();
    void OnSilence();
    void OnSoundBack();
    void EndSilenceWatch();
    bool BackupWanted() const;
    bool SendBackupRequest(const char* type, CString& error);
    void StartBackup();
    void EndBackup();
    void LeaveBackup();

    // The logger recording (RecordingControl.cpp).
    void ApplyRecording();
    LRESULT OnRecordingEvent(WPARAM event, LPARAM files);
    void PauseRecordingForRelay();

    // Relay (RelayControl.cpp).
    bool SplitPublishUrl(CString& appId, CString& stream);
    void OnStartPull();
    void RequestPullStateAtStartup();
    LRESULT OnPullAnsweredLate(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

  private:
    void StartUp();
    void EndStartUp();
    void BeginClose();
    void EndOpenBoxes();
    void AppendToLogFile(const CString& path, const CString& line);
    ConfigValues ConfigFromMembers() const;
    void ApplyConfig(const ConfigValues& values);
    void EndLeftoverEncoders();
    void RestartEncoder();
    void RestartEncoderOnSchedule();
    bool ReportEncoderExit();
    void ReadEncoderBanner(const std::string& output);
    void WatchRunningEncoder();
    void OnEncoderStalled();
    void EndStalledEncoder();
    void WatchEncoderBetweenTicks();
    bool CheckServer();
    void EndLive();
    bool SendPullRequest(const CString& appId, const CString& stream, const char* type,
                         CString& error);
    // Shows the service's answer to a request of `type`; false when that logs nothing.
    bool AdoptPullAnswer(const CString& type, bool accepted, const CString& error);
    void ShowPulling(bool pulling);

    HICON m_hIcon;
    HICON m_hSmallIcon;
    CLabelFit m_labelFit;
    CProcess m_pi;
    // Every child, encoder and listing tool, ends with the program however the program ends.
    CJob m_job;
    CString m_strAppDir;
    CString m_strFfmpegPath;
    CListBox m_listLog;
    CComboBox m_comboDevice;
    CStringArray m_arrDevices;
    // The devices' alternative names, in the same order; empty where the listing gives none.
    CStringArray m_arrDeviceAlternatives;
    int m_nDeviceIndex = 0;
    bool m_bLive = false;
    CString m_strDevice;
    RestartSchedule m_restartSchedule;
    CEncoderHealth m_health;
    AudioSettings m_audioSettings;
    CRecorder m_recorder;
    // The relay has the stream while the studio is silent; the encoder only listens.
    bool m_bBackupOnAir = false;
    // Counts the encoder's starts, so that a server check knows which encoder it was made for.
    WPARAM m_nEncoderRun = 0;
    // The publish address's server, checked while the encoder is down; unknown when the
    // address names none that can be checked.
    bool m_bServerKnown = false;
    RtmpServer m_server;
    ServerWatch m_serverWatch;
    bool m_bServerCheckPending = false;
    DWORD m_nServerCheckTick = 0;
    NotifyIconRecord m_nid{};
    int m_nMinToTray = 0;
    CString m_strPublishUrl;
    CComboBox m_comboBitrate;
    int m_nBitrateIndex = 1;
    CString m_strPullUrl;
    CString m_strAccessKey;
    CString m_strAccessId;
    int m_nAutoPull = 0;
    bool m_bPulling = false;
    COpenApiClient m_openApi;
    // Commands wait here until start-up, the start-up relay query included, is done, with the
    // later start that handed each over (0 for the program's own).
    bool m_bStartedUp = false;
    struct QueuedCommand {
        AppCommand command;
        LPARAM sender;
    };
    std::vector<QueuedCommand> m_arrQueuedCommands;
    // A close has begun: the broadcast is over for good and later starts' commands are refused.
    bool m_bClosing = false;
    // A daily log file that cannot be written is reported once per run.
    bool m_bLogFileReported = false;
};

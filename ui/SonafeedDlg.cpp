#include "ui/SonafeedDlg.h"

#include "framework/Exception.h"
#include "framework/ProgramPath.h"
#include "framework/WinApp.h"
#include "instance/SingleInstance.h"
#include "live/core/EncoderCommand.h"
#include "ui/AboutDlg.h"
#include "ui/LevelMeter.h"
#include "ui/SettingsDlg.h"
#include "ui/Texts.h"

#include <cstring>
#include <io.h>

CSonafeedDlg::CSonafeedDlg()
    : CDialog(IDD_SONAFEED_DIALOG),
      m_hIcon(::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      // The caption's and the tray's size, which grows with the display's scaling: drawn
      // from its own image in the icon rather than shrunk from the large one.
      m_hSmallIcon(static_cast<HICON>(::LoadImageA(
          AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
          ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED))) {
    RegisterLevelMeter(AfxGetInstanceHandle());
}

CSonafeedDlg::~CSonafeedDlg() {
    // The only place the tray icon goes; with the zero-filled record there is none to remove.
    ::Shell_NotifyIconA(NIM_DELETE, reinterpret_cast<PNOTIFYICONDATAA>(&m_nid));
}

void CSonafeedDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_LOG_LIST, m_listLog);
    DDX_Control(pDX, IDC_DEVICE_COMBO, m_comboDevice);
    DDX_Text(pDX, IDC_PUBLISH_URL, m_strPublishUrl);
    DDX_Text(pDX, IDC_ACCESS_KEY, m_strAccessKey);
    DDX_Text(pDX, IDC_ACCESS_ID, m_strAccessId);
    DDX_Text(pDX, IDC_PULL_URL, m_strPullUrl);
    DDX_Control(pDX, IDC_BITRATE_COMBO, m_comboBitrate);
}

BEGIN_MESSAGE_MAP(CSonafeedDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_REFRESH_DEVICES, RefreshDevices)
ON_CBN_SELCHANGE(IDC_DEVICE_COMBO, OnDeviceSel)
ON_BN_CLICKED(IDC_START_LIVE, OnStartLive)
ON_WM_CLOSE()
ON_WM_TIMER()
ON_BN_CLICKED(IDC_CLEAR_LOG, OnClearLog)
ON_MESSAGE(WM_TRAYNOTIFY, OnTrayNotify)
ON_BN_CLICKED(IDC_MIN_TO_TRAY, OnMinToTray)
ON_CBN_SELCHANGE(IDC_BITRATE_COMBO, OnBitrateSel)
ON_BN_CLICKED(IDC_START_PULL, OnStartPull)
ON_BN_CLICKED(IDC_AUTO_PULL, OnAutoPull)
ON_MESSAGE(WM_INSTANCE_COMMAND, OnInstanceCommand)
ON_MESSAGE(WM_SERVER_CHECKED, OnServerChecked)
ON_MESSAGE(WM_PULL_ANSWERED_LATE, OnPullAnsweredLate)
ON_MESSAGE(WM_RECORDING_EVENT, OnRecordingEvent)
END_MESSAGE_MAP()

// The program's directory, from its path cut to 256 bytes, without the trailing backslash.
static CString ProgramDirectory() {
    return CString(FolderOf(ProgramPath().substr(0, 256)));
}

BOOL CSonafeedDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_labelFit.Fit(m_hWnd);
    MarkInstanceWindow(m_hWnd);
    try {
        StartUp();
    } catch (const CException&) {
        // A failed start-up relay query ends start-up too; the framework reports it.
        EndStartUp();
        throw;
    }
    EndStartUp();
    return TRUE;
}

void CSonafeedDlg::StartUp() {
    if (HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        char about[256] = {};
        ::LoadStringA(AfxGetInstanceHandle(), IDS_ABOUTBOX, about, sizeof about);
        if (about[0]) {
            ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
        char settings[256] = {};
        if (::LoadStringA(AfxGetInstanceHandle(), IDS_SETTINGS, settings, sizeof settings))
            ::AppendMenuA(systemMenu, MF_STRING, IDM_SETTINGS, settings);
    }
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));

    // Each entry after the position the previous insertion reported: the sorted box keeps
    // this numeric order, which gives a stored position its meaning.
    int position = -1;
    for (const char* bitrate : kBitrates)
        position = m_comboBitrate.InsertString(position + 1, bitrate);

    m_nDeviceIndex = 0;
    m_nMinToTray = 0;
    m_nBitrateIndex = kDefaultBitrateIndex;
    m_bLive = false;
    m_strAppDir = ProgramDirectory();
    m_strFfmpegPath = m_strAppDir + kEncoderFileName;

    std::string path;
    if (!ProgramPathInAnsi(path)) {
        // Not the missing encoder: its path cannot be given to it.
        MessageBox(texts::kFolderNotAnsi);
        return;
    }
    if (_access(m_strFfmpegPath, 0) != 0) {
        MessageBox(texts::kFfmpegMissing);
        return;
    }
    EndLeftoverEncoders();
    LoadAudioSettings();
    if (!LoadConfig()) RefreshDevices();
    // A /quit taken while the listing's error box was open has ended the program.
    if (m_bClosing) return;
    m_comboBitrate.SetCurSel(m_nBitrateIndex);
    CheckDlgButton(IDC_MIN_TO_TRAY, m_nMinToTray > 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_AUTO_PULL, m_nAutoPull > 0 ? BST_CHECKED : BST_UNCHECKED);
    UpdateData(FALSE);
    RequestPullStateAtStartup();
}

void CSonafeedDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else if ((nID & 0xFFF0) == IDM_SETTINGS) {
        CSettingsDlg dialog(m_audioSettings);
        if (dialog.DoModal() != IDOK) return;
        m_audioSettings = dialog.Settings();
        SaveAudioSettings();
        ApplyAudioSettings();
    } else if (nID == SC_MINIMIZE && m_nMinToTray != 0) {
        MinimizeToTray();
    } else {
        Default();
    }
}

void CSonafeedDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
}

HCURSOR CSonafeedDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CSonafeedDlg::OnClose() {
    // An unattended close must not wait for someone to dismiss a box: it ends the box, and the
    // handler behind it returns into a dialog that is ending.
    EndOpenBoxes();
    // A second close while the first one waits in its error box just ends that box.
    if (m_bClosing) return;
    BeginClose();
    if (m_bPulling && m_nAutoPull == 0) {
        // An unreachable or silent service must not keep the program from ending, attended or
        // not: the failure is logged instead of shown, and the relay stays held at the service.
        try {
            OnStartPull();
        } catch (const CException& error) {
            AddLog(texts::kPullStopFailed + error.Description());
        }
    }
    // The settings are not saved here.
    CDialog::OnOK();
}

// From here on nothing of the broadcast starts again: no tick, no server check's answer, no
// command of a later start, which waits for this process to end instead.
void CSonafeedDlg::BeginClose() {
    m_bClosing = true;
    UnmarkInstanceWindow(m_hWnd);
    KillTimer(IDT_WATCHDOG);
    KillTimer(IDT_ENCODER_WATCH);
    m_bLive = false;
    StopEncoder();
    m_recorder.Stop();
}

// Message boxes and the About box: dialogs of this thread other than the main one.
static BOOL CALLBACK EndBox(HWND window, LPARAM mainWindow) {
    char className[16] = {};
    if (window != reinterpret_cast<HWND>(mainWindow) &&
        ::GetClassNameA(window, className, sizeof className) &&
        std::strcmp(className, "#32770") == 0)
        ::EndDialog(window, IDCANCEL);
    return TRUE;
}

void CSonafeedDlg::EndOpenBoxes() {
    ::EnumThreadWindows(::GetCurrentThreadId(), EndBox, reinterpret_cast<LPARAM>(m_hWnd));
}

// Runs the encoder tool in its listing mode and stores what it prints in "device.txt".
#include "devices/core/DeviceListParser.h"
#include "framework/CodePage.h"
#include "framework/Handle.h"
#include "framework/Process.h"
#include "framework/core/Ticks.h"
#include "framework/core/Utf8.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

namespace {
constexpr DWORD kChunkSize = 4095;
// The longest wait for the tool between two looks at the pipe; it ends when the tool does.
constexpr DWORD kToolWaitMs = 200;
// A tool that hangs must not keep the window from ever appearing.
constexpr DWORD kListingTimeoutMs = 30000;

bool ReadChunk(HANDLE reader, std::string& output) {
    char chunk[kChunkSize + 1];
    DWORD read = 0;
    if (!::ReadFile(reader, chunk, kChunkSize, &read, nullptr)) return false;
    output.append(chunk, read);
    return true;
}

// Reads whatever the pipe holds now, without waiting for more.
void DrainPipe(HANDLE reader, std::string& output) {
    DWORD available = 0;
    while (::PeekNamedPipe(reader, nullptr, 0, nullptr, &available, nullptr) && available &&
           ReadChunk(reader, output)) {
    }
}

// Collects the tool's output while it runs, so that a listing larger than the pipe's buffer
// cannot block it. Returns true when the tool exited by itself, with all it printed (its
// writes are in the pipe once it has exited); false when it was ended after the time-out, with
// what it printed until then.
bool CollectToolOutput(HANDLE process, HANDLE reader, std::string& output) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        DrainPipe(reader, output);
        if (TicksSince(start, ::GetTickCount()) >= kListingTimeoutMs) break;
        if (::WaitForSingleObject(process, kToolWaitMs) == WAIT_OBJECT_0) {
            DrainPipe(reader, output);
            return true;
        }
    }
    ::TerminateProcess(process, 1);
    return false;
}
} // namespace

void CSonafeedDlg::RefreshDevices() {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &security, 0)) {
        MessageBox(texts::kCreatePipeFailed);
        return;
    }
    CHandle reader(readEnd);
    CHandle writer(writeEnd);
    // Only the write end goes to the tool.
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup;
    ::GetStartupInfoA(&startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    CProcess tool;
    if (!tool.CreateSuspended(m_strFfmpegPath, kListDevicesArgs, startup, {writeEnd})) {
        MessageBox(texts::kCreateProcessFailed);
        return;
    }
    m_job.Adopt(tool);
    std::string output;
    const bool listingComplete = CollectToolOutput(tool.Process(), reader.Get(), output);
    ReadEncoderBanner(output);

    CStdioFile file;
    if (!file.Open(kDeviceFile,
                   CStdioFile::modeCreate | CStdioFile::modeWrite | CStdioFile::typeText)) {
        AddLog(texts::kDeviceFileCreateFailed);
        return;
    }
    CString text(std::move(output));
    // An encoder build that prints in the ANSI code page already gives text that is not UTF-8.
    if (IsValidUtf8(text.Text())) Utf8ToAnsi(&text);
    file.WriteString(text);
    file.Close();
    ParseDeviceList(listingComplete);
}

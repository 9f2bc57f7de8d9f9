// Runs the encoder tool in its listing mode and stores what it prints in "device.txt".
#include "framework/CodePage.h"
#include "framework/Handle.h"
#include "framework/Utf8.h"
#include "ui/SonafeedDlg.h"
#include "ui/Texts.h"

namespace {
constexpr DWORD kChunkSize = 4095;
constexpr DWORD kChunkPauseMs = 200;
// A tool that hangs must not keep the window from ever appearing.
constexpr ULONGLONG kListingTimeoutMs = 30000;

void ReadChunk(HANDLE reader, std::string& output) {
    char chunk[kChunkSize + 1];
    DWORD read = 0;
    if (::ReadFile(reader, chunk, kChunkSize, &read, nullptr)) output.append(chunk, read);
}

// Collects the tool's output while it runs, so that a listing larger than the pipe's buffer
// cannot block it. Returns true when the tool exited by itself; false when it was ended after
// the time-out, with what it printed until then.
bool CollectToolOutput(HANDLE process, HANDLE reader, CHandle& writer, std::string& output) {
    const ULONGLONG deadline = ::GetTickCount64() + kListingTimeoutMs;
    bool exited = false;
    DWORD available = 0;
    // Fails once the pipe is empty and every write end is closed.
    while (::PeekNamedPipe(reader, nullptr, 0, nullptr, &available, nullptr) &&
           ::GetTickCount64() < deadline) {
        if (available) {
            ReadChunk(reader, output);
            ::Sleep(kChunkPauseMs);
        } else if (exited) {
            ::Sleep(kChunkPauseMs); // a child of the tool may still hold the write end
        } else if (::WaitForSingleObject(process, kChunkPauseMs) == WAIT_OBJECT_0) {
            exited = true;
            writer.Close();
        }
    }
    if (!exited) ::TerminateProcess(process, 1);
    return exited;
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

    STARTUPINFOA startup;
    ::GetStartupInfoA(&startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string commandLine = texts::kListDevicesArgs; // CreateProcessA may write into it
    PROCESS_INFORMATION tool{};
    if (!::CreateProcessA(m_strFfmpegPath, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                          nullptr, &startup, &tool)) {
        MessageBox(texts::kCreateProcessFailed);
        return;
    }
    CHandle process(tool.hProcess);
    CHandle thread(tool.hThread);
    std::string output;
    const bool listingComplete = CollectToolOutput(process.Get(), reader.Get(), writer, output);

    CStdioFile file;
    if (!file.Open(texts::kDeviceFile,
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

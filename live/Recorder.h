// The logger recording. The encoder sends a copy of the AAC it publishes, as ADTS, to a UDP port
// of this program on the loopback, and a helper thread writes it into a file a clock hour, in a
// folder a day. The encoder never waits for a datagram to be taken, so nothing that befalls the
// recording (a slow, full or missing drive, a held file) can slow or stop the broadcast.
#pragma once
#include "framework/Handle.h"
#include "framework/String.h"

#include <memory>

struct RecordingOptions {
    CString folder; // a full path; made when missing
    int keepDays = 42;
    unsigned long long floorBytes = 0;
    int periodSeconds = 3600;
};

// What the helper posts to the dialog: the event as wParam, the number of files for kExpired.
enum RecordingEvent : WPARAM {
    kRecordingNoRoom,
    kRecordingRoomAgain,
    kRecordingCannotWrite,
    kRecordingWritingAgain,
    kRecordingExpired,
};

class CRecorder {
  public:
    CRecorder() = default;
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;
    ~CRecorder() { Stop(); }

    // Opens the port (the one before, when it is free, so that a running encoder goes on being
    // recorded) and starts the helper, which applies the retention first. False when either
    // failed: then nothing is recorded.
    bool Start(const RecordingOptions& options, HWND window, UINT message);
    void Stop();
    bool Running() const { return m_thread.IsValid(); }
    // The port the encoder sends to; 0 while nothing is recorded.
    unsigned short Port() const { return Running() ? m_nPort : 0; }
    const CString& Folder() const { return m_strFolder; }

    // The relay has taken the stream from a recorded broadcast: true the first time, for the
    // caller to say so. The next live encoder ends the pause, true when it did.
    bool PauseForRelay();
    bool ResumeAfterRelay();

    struct Shared;

  private:
    std::shared_ptr<Shared> m_shared;
    CHandle m_thread;
    unsigned short m_nPort = 0;
    CString m_strFolder;
    bool m_bPausedForRelay = false;
};

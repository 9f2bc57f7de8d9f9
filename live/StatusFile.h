// The encoder's status file: its console output, read back for the encoder's last line, for its
// first progress line (it is through to its server and publishing) and for the growth that says
// it still works. The machine has one shared file, which goes to one installation at a time;
// the others write one of their own. The file stays bounded over any length of run.
#pragma once
#include "framework/Handle.h"
#include "framework/String.h"
#include "live/core/EncoderStatus.h"
#include "live/core/Watchdog.h"

#include <string>

class CStatusFile {
  public:
    CStatusFile();
    CStatusFile(const CStatusFile&) = delete;
    CStatusFile& operator=(const CStatusFile&) = delete;

    // Opens the file, emptied, for a new encoder; the handle to give it (inheritable on the NT
    // family, where it can write there), null when no file could be opened. The installation's
    // own file is in `ownFolder`; `ownFirstUsed`: this is the first time it stands in for the
    // shared one.
    HANDLE OpenForEncoder(const CString& ownFolder, bool nt, bool& ownFirstUsed);
    // The encoder is running (or could not be started): when it writes the file, watching begins.
    void Watch(bool running);
    const CString& Path() const { return m_strPath; }

    // Reads what the running encoder wrote since the last call and shortens a file that has
    // grown past its bound. Cheap: made several times a second.
    void Poll();
    // What a watchdog tick makes of the running encoder.
    enum class Health { kWorking, kStalled, kStallWatchPaused, kNeverPublished };
    Health Check();
    // The encoder has written a progress line; also while the file is not watched, which tells
    // nothing.
    bool Published() const { return !m_bWatched || m_scan.Seen(); }
    // It has published for at least `ms` since its first progress line (without a watched
    // file: since its start).
    bool PublishedFor(DWORD ms) const;
    // A silence so far is forgiven: the stall watch starts afresh.
    void RestartStallWatch() { m_stall.Reset(); }
    // After the encoder has exited: the end of its output, once; false when there is none.
    bool TakeLastWords(std::string& tail, bool& cut);
    void Close();

  private:
    bool ClaimShared();
    void ReleaseShared();
    bool DriveFull() const;
    bool Size(unsigned long long& size);
    bool Read(unsigned long long from, unsigned long long to, std::string& bytes);
    void Shorten(unsigned long long size);

    CHandle m_claim;
    // The claim was refused: another account made it, so the shared file is never ours.
    bool m_bClaimDenied = false;
    bool m_bClaimed = false;
    bool m_bOwnUsed = false;
    CString m_strPath;
    bool m_bInheritable = false;
    // The encoder's own handle to the file (the same file object, one write position), and one
    // to read with.
    CHandle m_file;
    CHandle m_reader;
    bool m_bWatched = false;
    DWORD m_nStartTick = 0;
    ProgressScan m_scan;
    // When the first progress line was seen.
    DWORD m_nPublishedTick = 0;
    // How far the output has been looked through for the first progress line.
    unsigned long long m_nScanned = 0;
    StallWatch m_stall;
    bool m_bGaveUp = false;
    // What stays at the file's start when it is shortened: the encoder's first lines.
    unsigned long long m_nHead = 0;
    bool m_bShortened = false;
};

// The encoder's status file: its console output. The machine has one shared file, which goes to
// one installation at a time; the others write one of their own. Read piece by piece as it
// grows, and kept bounded over any length of run.
#pragma once
#include "framework/Handle.h"
#include "framework/String.h"

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
    bool Watched() const { return m_bWatched; }
    const CString& Path() const { return m_strPath; }

    // What the encoder wrote since the last call, at most the last 64 KiB of it; `skipped`: bytes
    // before those were passed over. False when nothing could be read.
    bool ReadNew(std::string& bytes, unsigned long long& offset, bool& skipped);
    // Shortens a file that holds more than 1 MiB after its first `head` bytes (at most 64 KiB,
    // fixed at the first shortening): the first lines stay, and the last part from a line's start.
    void Bound(unsigned long long head);
    bool Size(unsigned long long& size);
    // True when the drive that holds the file has no room left for the encoder's next lines.
    bool DriveFull() const;
    // At most the last `bytes` of the file; `cut`: it starts inside the file.
    bool ReadTail(size_t bytes, std::string& tail, bool& cut);
    void Close();

  private:
    bool ClaimShared();
    void ReleaseShared();
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
    // How far the file has been read.
    unsigned long long m_nRead = 0;
    unsigned long long m_nHead = 0;
    bool m_bShortened = false;
};

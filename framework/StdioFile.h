// CStdioFile: a text file on the C runtime's text-mode streams. Writing turns LF into CR LF;
// reading turns CR LF into LF, keeps a lone CR and ends at Ctrl-Z.
#pragma once
#include "framework/String.h"

#include <cstdio>

class CStdioFile {
  public:
    enum OpenFlags : unsigned {
        modeRead = 0x0,
        modeWrite = 0x1,
        modeCreate = 0x1000,
        typeText = 0x4000
    };

    CStdioFile() = default;
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;
    ~CStdioFile() { Close(); }

    // modeRead opens an existing file; modeCreate | modeWrite creates or truncates one.
    bool Open(const char* path, unsigned flags);
    // Reads the next line without its LF; false only when no character is left.
    bool ReadString(CString& line);
    // Writes every byte of the text, NULs included; false when not all could be written.
    bool WriteString(const CString& text);
    // Pushes buffered bytes to the disk; false on a write error.
    bool Flush();
    // False when the last buffered bytes could not be written.
    bool Close();

  private:
    std::FILE* m_file = nullptr;
};

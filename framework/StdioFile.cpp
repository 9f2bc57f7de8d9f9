#include "framework/StdioFile.h"

#include <io.h>

bool CStdioFile::Open(const char* path, unsigned flags) {
    Close();
    m_file = std::fopen(path, (flags & modeWrite) ? "wt" : "rt");
    return m_file != nullptr;
}

bool CStdioFile::ReadString(CString& line) {
    std::string text;
    int c = EOF;
    // Byte by byte, so that a NUL inside a line neither cuts nor merges lines.
    while ((c = std::getc(m_file)) != EOF && c != '\n')
        text += static_cast<char>(c);
    if (c == EOF && text.empty()) return false;
    line = CString(std::move(text));
    return true;
}

bool CStdioFile::WriteString(const CString& text) {
    const std::string& bytes = text.Text();
    return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
}

bool CStdioFile::Flush() {
    return std::fflush(m_file) == 0 && _commit(_fileno(m_file)) == 0;
}

bool CStdioFile::Close() {
    if (!m_file) return true;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return closed;
}

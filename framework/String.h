// CString: the program's ANSI text (code page 936 at run time). A thin value type over
// std::string; the plain text logic works on std::string, reached through Text().
#pragma once
#include <string>

class CString {
  public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(std::string text) : m_text(std::move(text)) {}

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    operator const char*() const { return m_text.c_str(); }
    const std::string& Text() const { return m_text; }
    std::string& Text() { return m_text; }

    CString& operator+=(const CString& more) {
        m_text += more.m_text;
        return *this;
    }
    friend CString operator+(CString left, const CString& right) { return left += right; }

    // printf-style formatting without a fixed buffer.
    void Format(const char* format, ...);

  private:
    std::string m_text;
};

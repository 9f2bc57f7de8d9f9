// CHandle: owns one kernel handle and closes it when it goes out of scope.
#pragma once
#include <windows.h>

class CHandle {
  public:
    explicit CHandle(HANDLE handle = nullptr) : m_h(handle) {}
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    ~CHandle() { Close(); }

    HANDLE Get() const { return m_h; }
    void Close() {
        if (m_h && m_h != INVALID_HANDLE_VALUE) ::CloseHandle(m_h);
        m_h = nullptr;
    }

  private:
    HANDLE m_h;
};

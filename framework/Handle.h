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
    // False for both ways a call says it gave no handle: null and INVALID_HANDLE_VALUE.
    bool IsValid() const { return m_h && m_h != INVALID_HANDLE_VALUE; }
    // Closes the handle held, then owns `handle`.
    void Attach(HANDLE handle) {
        Close();
        m_h = handle;
    }
    // Gives up ownership: the caller closes the handle returned.
    HANDLE Detach() {
        HANDLE handle = m_h;
        m_h = nullptr;
        return handle;
    }
    void Close() {
        if (IsValid()) ::CloseHandle(m_h);
        m_h = nullptr;
    }

  private:
    HANDLE m_h;
};

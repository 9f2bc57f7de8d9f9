// WinINet wrappers: a session, an HTTP connection and an HTTP request, each owning one handle.
// A failed WinINet call throws CInternetException.
#pragma once
#include "framework/Exception.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

class CInternetException : public CException {
  public:
    explicit CInternetException(DWORD error) : m_dwError(error) {}
    CString Description() const override;

    DWORD m_dwError;
};

enum { HTTP_VERB_POST = 0 };

// Owns one WinINet handle; Close() may come before destruction.
class CInternetHandle {
  public:
    explicit CInternetHandle(HINTERNET handle);
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;
    ~CInternetHandle() { Close(); }
    void Close();
    // The result is whether WinINet took the value.
    BOOL SetOption(DWORD option, DWORD value);

  protected:
    HINTERNET m_hHandle;
};

class CHttpFile : public CInternetHandle {
  public:
    using CInternetHandle::CInternetHandle;
    void SendRequest(const char* headers, DWORD headersLength, const void* body, DWORD bodyLength);
    DWORD QueryInfoStatusCode() const;
    // Returns the bytes read; 0 at the end of the body.
    UINT Read(void* buffer, UINT count);
};

class CHttpConnection : public CInternetHandle {
  public:
    using CInternetHandle::CInternetHandle;
    std::unique_ptr<CHttpFile> OpenRequest(int verb, const char* object, const char* referrer,
                                           DWORD_PTR context, const char** acceptTypes,
                                           const char* version, DWORD flags);
};

class CInternetSession : public CInternetHandle {
  public:
    // Without an agent name the application's name is the agent.
    explicit CInternetSession(const char* agent = nullptr, DWORD_PTR context = 1,
                              DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG);
    std::unique_ptr<CHttpConnection> GetHttpConnection(const char* server, INTERNET_PORT port,
                                                       const char* user = nullptr,
                                                       const char* password = nullptr);

  private:
    DWORD_PTR m_dwContext;
};

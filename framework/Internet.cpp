#include "framework/Internet.h"

#include "framework/String.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

namespace {
HINTERNET Checked(HINTERNET handle) {
    if (!handle) throw CInternetException(::GetLastError());
    return handle;
}
} // namespace

CString CInternetException::Description() const {
    char* description = nullptr;
    ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                         FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     ::GetModuleHandleA("wininet.dll"), m_dwError, 0,
                     reinterpret_cast<char*>(&description), 0, nullptr);
    std::string text;
    if (description) {
        text = description;
        // The system's texts end in a line end.
        text.erase(text.find_last_not_of(" \r\n") + 1);
    } else {
        text = "WinINet error " + std::to_string(m_dwError) + ".";
    }
    ::LocalFree(description);
    return CString(std::move(text));
}

void CException::ReportError() const {
    AfxMessageBox(Description(), MB_OK | MB_ICONEXCLAMATION);
}

CInternetHandle::CInternetHandle(HINTERNET handle) : m_hHandle(Checked(handle)) {}

void CInternetHandle::Close() {
    if (m_hHandle) ::InternetCloseHandle(m_hHandle);
    m_hHandle = nullptr;
}

BOOL CInternetHandle::SetOption(DWORD option, DWORD value) {
    return ::InternetSetOptionA(m_hHandle, option, &value, sizeof value);
}

CInternetSession::CInternetSession(const char* agent, DWORD_PTR context, DWORD accessType)
    : CInternetHandle(
          ::InternetOpenA(agent ? agent : AfxGetAppName(), accessType, nullptr, nullptr, 0)),
      m_dwContext(context) {}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const char* server,
                                                                     INTERNET_PORT port,
                                                                     const char* user,
                                                                     const char* password) {
    return std::make_unique<CHttpConnection>(::InternetConnectA(
        m_hHandle, server, port, user, password, INTERNET_SERVICE_HTTP, 0, m_dwContext));
}

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(int verb, const char* object,
                                                        const char* referrer, DWORD_PTR context,
                                                        const char** acceptTypes,
                                                        const char* version, DWORD flags) {
    static const char* const verbs[] = {"POST"};
    return std::make_unique<CHttpFile>(::HttpOpenRequestA(m_hHandle, verbs[verb], object, version,
                                                          referrer, acceptTypes, flags, context));
}

void CHttpFile::SendRequest(const char* headers, DWORD headersLength, const void* body,
                            DWORD bodyLength) {
    if (!::HttpSendRequestA(m_hHandle, headers, headersLength, const_cast<void*>(body), bodyLength))
        throw CInternetException(::GetLastError());
}

DWORD CHttpFile::QueryInfoStatusCode() const {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoA(m_hHandle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr))
        throw CInternetException(::GetLastError());
    return status;
}

UINT CHttpFile::Read(void* buffer, UINT count) {
    DWORD read = 0;
    if (!::InternetReadFile(m_hHandle, buffer, count, &read))
        throw CInternetException(::GetLastError());
    return read;
}

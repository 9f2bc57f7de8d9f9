// CProcess: a child process and its first thread, the two handles of PROCESS_INFORMATION, both
// closed when it goes out of scope.
#pragma once
#include "framework/Handle.h"

#include <string>
#include <vector>

class CProcess {
  public:
    CProcess() = default;
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    // Starts `application` suspended, for a job to adopt before it runs; false, and no child,
    // when it cannot be started. The child inherits the handles of `inherited` (inheritable
    // ones) and, where the system can say so (Vista on), no other: a socket that a server check
    // or an open API request holds at that moment must not live on in the child.
    bool CreateSuspended(const char* application, std::string commandLine, STARTUPINFOA& startup,
                         std::vector<HANDLE> inherited);

    HANDLE Process() const { return m_hProcess.Get(); }
    HANDLE Thread() const { return m_hThread.Get(); }
    bool IsValid() const { return m_hProcess.IsValid(); }
    void Close() {
        m_hProcess.Close();
        m_hThread.Close();
    }

  private:
    CHandle m_hProcess;
    CHandle m_hThread;
};

// CProcess: a child process and its first thread, the two handles of PROCESS_INFORMATION, both
// closed when it goes out of scope.
#pragma once
#include "framework/Handle.h"

#include <string>

class CProcess {
  public:
    CProcess() = default;
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    // Starts `application` suspended, for a job to adopt before it runs, with the inheritable
    // handles; false, and no child, when it cannot be started.
    bool CreateSuspended(const char* application, std::string commandLine, STARTUPINFOA& startup) {
        Close();
        PROCESS_INFORMATION info{};
        // CreateProcessA may write into the command line.
        if (!::CreateProcessA(application, &commandLine[0], nullptr, nullptr, TRUE,
                              CREATE_SUSPENDED, nullptr, nullptr, &startup, &info))
            return false;
        m_hProcess.Attach(info.hProcess);
        m_hThread.Attach(info.hThread);
        return true;
    }

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

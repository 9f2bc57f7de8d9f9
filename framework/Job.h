// CJob: a job object that ends every process in it when its last handle closes, so that no
// child outlives the program, however the program ends (a crash, End task).
#pragma once
#include "framework/Handle.h"
#include "framework/Process.h"

#include <windows.h>

class CJob {
  public:
    CJob() : m_h(::CreateJobObjectA(nullptr, nullptr)) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (m_h.IsValid())
            ::SetInformationJobObject(m_h.Get(), JobObjectExtendedLimitInformation, &limits,
                                      sizeof limits);
    }

    // Takes a child created with CREATE_SUSPENDED into the job, then lets it run. A child that
    // cannot join (no job, or a system that refuses jobs within jobs) runs all the same.
    void Adopt(const CProcess& child) {
        if (m_h.IsValid()) ::AssignProcessToJobObject(m_h.Get(), child.Process());
        ::ResumeThread(child.Thread());
    }

  private:
    CHandle m_h;
};

#include "framework/Process.h"

#include "framework/SystemFunction.h"

#include <algorithm>

namespace {

// The list of handles a child may inherit, where the system has it; empty otherwise.
class CInheritList {
  public:
    explicit CInheritList(std::vector<HANDLE>& handles) {
        using Initialize = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
        using Update = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T,
                                     PVOID, PSIZE_T);
        const auto initialize = Kernel32Function<Initialize>("InitializeProcThreadAttributeList");
        const auto update = Kernel32Function<Update>("UpdateProcThreadAttribute");
        SIZE_T size = 0;
        if (!initialize || !update || handles.empty()) return;
        initialize(nullptr, 1, 0, &size);
        m_buffer.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_buffer.data());
        if (!initialize(list, 1, 0, &size)) {
            m_buffer.clear();
            return;
        }
        m_pList = list;
        if (!update(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                    handles.size() * sizeof(HANDLE), nullptr, nullptr))
            Release();
    }
    CInheritList(const CInheritList&) = delete;
    CInheritList& operator=(const CInheritList&) = delete;
    ~CInheritList() { Release(); }

    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return m_pList; }

  private:
    void Release() {
        using Delete = VOID(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST);
        if (m_pList) Kernel32Function<Delete>("DeleteProcThreadAttributeList")(m_pList);
        m_pList = nullptr;
    }

    std::vector<char> m_buffer;
    LPPROC_THREAD_ATTRIBUTE_LIST m_pList = nullptr;
};

} // namespace

bool CProcess::CreateSuspended(const char* application, std::string commandLine,
                               STARTUPINFOA& startup, std::vector<HANDLE> inherited) {
    Close();
    // Each handle once: the list refuses a handle twice (standard output and error share one).
    inherited.erase(std::remove_if(inherited.begin(), inherited.end(),
                                   [](HANDLE h) { return !h || h == INVALID_HANDLE_VALUE; }),
                    inherited.end());
    std::sort(inherited.begin(), inherited.end());
    inherited.erase(std::unique(inherited.begin(), inherited.end()), inherited.end());
    const CInheritList list(inherited);
    STARTUPINFOEXA extended{};
    extended.StartupInfo = startup;
    DWORD flags = CREATE_SUSPENDED;
    if (list.Get()) {
        extended.StartupInfo.cb = sizeof extended;
        extended.lpAttributeList = list.Get();
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION info{};
    // CreateProcessA may write into the command line.
    if (!::CreateProcessA(application, &commandLine[0], nullptr, nullptr, !inherited.empty(), flags,
                          nullptr, nullptr, &extended.StartupInfo, &info))
        return false;
    m_hProcess.Attach(info.hProcess);
    m_hThread.Attach(info.hThread);
    return true;
}

#include "dialog_child.h"

#include "test_env.h"

namespace dialogtest {

DialogChild::DialogChild(HANDLE token, const wchar_t* mode) {
    std::wstring cmd = L"\"" + testenv::BinFile(kChildProgram) + L"\" " + mode;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL started = token != nullptr ? ::CreateProcessAsUserW(token, nullptr, &cmd[0], nullptr, nullptr, FALSE, 0,
                                                             nullptr, nullptr, &si, &pi)
                                    : ::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                                                       nullptr, &si, &pi);
    if (!started) {
        m_startError = ::GetLastError();
        return;
    }
    afx::UniqueHandle thread(pi.hThread);
    m_process.reset(pi.hProcess);
    m_pid = pi.dwProcessId;
}

DialogChild::~DialogChild() {
    if (!m_process || ::WaitForSingleObject(m_process.get(), 0) != WAIT_TIMEOUT) return;
    ::TerminateProcess(m_process.get(), 1);
    ::WaitForSingleObject(m_process.get(), 5000);
}

DWORD DialogChild::WaitForExit(DWORD ms) const {
    DWORD code = STILL_ACTIVE;
    if (m_process && ::WaitForSingleObject(m_process.get(), ms) == WAIT_OBJECT_0) {
        ::GetExitCodeProcess(m_process.get(), &code);
    }
    return code;
}

}  // namespace dialogtest

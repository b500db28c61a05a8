// The helper program dialog_child.exe, started by the tests as a child process so that it
// runs with a token, or display settings, of the test's choosing:
//   dialog_child privilege   asks for the shutdown privilege as the Reboot command does and
//                            exits with kGrantedFlag (when granted) | the last error's low 16 bits;
//   dialog_child dialog      runs the confirmation dialog (a DrivenDialog: the state operations
//                            can be reached with its private messages) until it is closed; exit 0.
#pragma once

#include <windows.h>

#include <string>

#include "afx/handles.h"

namespace dialogtest {

constexpr wchar_t kChildProgram[] = L"dialog_child.exe";
constexpr DWORD kGrantedFlag = 0x10000;
constexpr DWORD kBadArguments = 0x20000;

// One run of the helper program; ended when the object goes if it is still running.
class DialogChild {
public:
    // Starts the helper in `mode` ("privilege" or "dialog") with `token` (null: this
    // process's own).
    DialogChild(HANDLE token, const wchar_t* mode);
    ~DialogChild();
    DialogChild(const DialogChild&) = delete;
    DialogChild& operator=(const DialogChild&) = delete;

    bool started() const { return m_process.valid(); }
    DWORD startError() const { return m_startError; }
    DWORD pid() const { return m_pid; }
    // The exit code once the child has ended within `ms`; STILL_ACTIVE otherwise.
    DWORD WaitForExit(DWORD ms) const;

private:
    afx::UniqueHandle m_process;
    DWORD m_pid = 0;
    DWORD m_startError = 0;
};

}  // namespace dialogtest

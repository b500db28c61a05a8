// A stand-in program run by a test as a real process, and the top-level windows it owns.
#pragma once

#include <windows.h>

#include <string>

#include "afx/handles.h"

namespace standins {

// Upper bounds for things that normally take milliseconds; a Wine process start can take
// seconds on a busy machine. Only a broken stand-in ever waits this long.
constexpr DWORD kStartupMs = 20000;
constexpr DWORD kExitMs = 10000;

class ChildProcess {
public:
    ChildProcess() = default;
    // Terminates the process when it still runs, so that no test leaves one behind.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `exe` with `arguments` (may be empty) in the exe's folder. False on failure;
    // error() then holds GetLastError().
    bool Start(const std::wstring& exe, const std::wstring& arguments);
    // Waits up to `ms` for the process to end; true when it has ended.
    bool WaitForExit(DWORD ms) const;
    bool Running() const { return !WaitForExit(0); }
    // The exit code, or STILL_ACTIVE while it runs.
    DWORD ExitCode() const;
    void Terminate();

    DWORD pid() const { return m_pid; }
    DWORD error() const { return m_error; }

    // Waits up to `ms` for a top-level window (visible or hidden) of this process whose class is
    // `className` and, when `title` is not null, whose title is `title`. Null when none
    // appeared in time or the process ended first.
    HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD ms) const;

private:
    afx::UniqueHandle m_process;
    DWORD m_pid = 0;
    DWORD m_error = 0;
};

// Waits up to `ms` for `window` to be shown; true when it is visible.
bool WaitUntilVisible(HWND window, DWORD ms);

// The window's class name and title, for messages.
std::string ClassOf(HWND window);
std::string TitleOf(HWND window);

}  // namespace standins

#include "standin_process.h"

#include <vector>

#include "standin_env.h"

namespace standins {

namespace {

constexpr DWORD kPollMs = 20;

HWND FindWindowOfProcess(DWORD pid, const wchar_t* className, const wchar_t* title) {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, className, title)) != nullptr) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == pid) return window;
    }
    return nullptr;
}

}  // namespace

ChildProcess::~ChildProcess() { Terminate(); }

bool ChildProcess::Start(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &info)) {
        m_error = ::GetLastError();
        return false;
    }
    ::CloseHandle(info.hThread);
    m_process.reset(info.hProcess);
    m_pid = info.dwProcessId;
    return true;
}

bool ChildProcess::WaitForExit(DWORD ms) const {
    return m_process.valid() && ::WaitForSingleObject(m_process.get(), ms) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (m_process.valid()) ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

void ChildProcess::Terminate() {
    if (!m_process.valid()) return;
    if (Running()) {
        ::TerminateProcess(m_process.get(), 1);
        ::WaitForSingleObject(m_process.get(), kExitMs);
    }
}

HWND ChildProcess::WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD ms) const {
    for (DWORD waited = 0;; waited += kPollMs) {
        HWND window = FindWindowOfProcess(m_pid, className, title);
        if (window != nullptr) return window;
        if (waited >= ms || WaitForExit(0)) return nullptr;
        ::Sleep(kPollMs);
    }
}

bool WaitUntilVisible(HWND window, DWORD ms) {
    for (DWORD waited = 0;; waited += kPollMs) {
        if (::IsWindowVisible(window)) return true;
        if (waited >= ms || !::IsWindow(window)) return false;
        ::Sleep(kPollMs);
    }
}

std::string ClassOf(HWND window) {
    wchar_t name[256] = L"";
    ::GetClassNameW(window, name, 256);
    return Narrow(name);
}

std::string TitleOf(HWND window) {
    wchar_t text[256] = L"";
    ::GetWindowTextW(window, text, 256);
    return Narrow(text);
}

}  // namespace standins

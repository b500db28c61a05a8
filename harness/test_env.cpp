#include "test_env.h"

#include <cstdlib>

#include "afx/ansi_text.h"
#include "afx/resource_view.h"

namespace testenv {

namespace {

std::wstring EnvOr(const wchar_t* name, const wchar_t* fallback) {
    wchar_t value[MAX_PATH * 2];
    DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) return fallback;
    return value;
}

std::wstring Slashes(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

}  // namespace

std::wstring BinDir() { return EnvOr(L"HALVERN_BIN_DIR", L"."); }
std::wstring PayloadDir() { return EnvOr(L"HALVERN_PAYLOAD_DIR", L"."); }
std::wstring BinFile(const std::wstring& relative) { return BinDir() + L"\\" + Slashes(relative); }
std::wstring PayloadFile(const std::string& source) { return PayloadDir() + L"\\" + Slashes(Widen(source)); }
std::wstring PrefixFolder(const std::wstring& relative) {
    const std::wstring prefix = EnvOr(L"WINEPREFIX", L"");
    if (prefix.empty() || prefix[0] != L'/') return L"";
    return L"Z:" + Slashes(prefix) + L"\\drive_c\\" + relative;
}
std::string PrefixName() { return Narrow(EnvOr(L"HALVERN_PREFIX", L"win32")); }
bool Is64BitPrefix() { return PrefixName() == "win64"; }
bool UpdaterUnderWow64() { return Is64BitPrefix() && sizeof(void*) == 4; }

std::string Narrow(const std::wstring& text) { return afx::ToAnsi(text.c_str()); }

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

bool MakeDirs(const std::wstring& path) {
    if (path.empty()) return false;
    DWORD attrs = ::GetFileAttributesW(path.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES) return (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t cut = path.find_last_of(L'\\');
    if (cut != std::wstring::npos && cut > 2) MakeDirs(path.substr(0, cut));
    return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

void RemoveTree(const std::wstring& path) {
    DWORD attrs = ::GetFileAttributesW(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return;
    if ((attrs & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW fd;
    afx::FindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &fd));
    if (find) {
        do {
            std::wstring name = fd.cFileName;
            if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
        } while (::FindNextFileW(find.get(), &fd));
    }
    find.reset();
    ::RemoveDirectoryW(path.c_str());
}

std::wstring FreshDir(const std::wstring& name) {
    std::wstring path = L"C:\\halvern-tests\\" + name;
    RemoveTree(path);
    MakeDirs(path);
    return path;
}

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
    afx::UniqueHandle h(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    if (!h) return false;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(h.get(), &size)) return false;
    bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (size.QuadPart == 0) return true;
    return ::ReadFile(h.get(), &(*bytes)[0], static_cast<DWORD>(size.QuadPart), &read, nullptr) &&
           read == size.QuadPart;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    afx::UniqueHandle h(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!h) return false;
    DWORD written = 0;
    return ::WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ResourceBytes(HMODULE module, const char* type, WORD id) {
    afx::ResourceView view;
    if (!afx::FindResourceView(module, type, id, &view)) return {};
    return std::string(reinterpret_cast<const char*>(view.data), view.size);
}

ChildProcess::~ChildProcess() {
    if (Running()) Terminate();
}

bool ChildProcess::Start(const std::wstring& commandLine, const std::wstring& currentDir) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = commandLine;
    if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                          currentDir.empty() ? nullptr : currentDir.c_str(), &si, &pi)) {
        return false;
    }
    // Wine starts a Unix program without a process or a thread to own, and leaves in hThread a
    // value that is no handle of this process: closing it would close whatever handle may hold
    // that number.
    afx::UniqueHandle thread(pi.hProcess != nullptr ? pi.hThread : nullptr);
    m_process.reset(pi.hProcess);
    m_pid = pi.dwProcessId;
    return true;
}

bool ChildProcess::Wait(DWORD ms) {
    return m_process && ::WaitForSingleObject(m_process.get(), ms) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (m_process) ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

bool ChildProcess::Running() const {
    return m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
}

void ChildProcess::Terminate() {
    if (!m_process) return;
    ::TerminateProcess(m_process.get(), 1);
    ::WaitForSingleObject(m_process.get(), 5000);
}

std::wstring UnixPath(const std::wstring& path) {
    typedef char*(CDECL * WineGetUnixFileName)(LPCWSTR);
    static auto fn = reinterpret_cast<WineGetUnixFileName>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (fn == nullptr) return path;
    char* unix = fn(path.c_str());
    if (unix == nullptr) return path;
    // Wine names Unix files in UTF-8.
    std::wstring out(static_cast<size_t>(::MultiByteToWideChar(CP_UTF8, 0, unix, -1, nullptr, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, unix, -1, &out[0], static_cast<int>(out.size()));
    ::HeapFree(::GetProcessHeap(), 0, unix);
    out.resize(out.empty() ? 0 : out.size() - 1);
    return out;
}

int RunUnix(const std::wstring& command, DWORD timeoutMs) {
    wchar_t temp[MAX_PATH];
    wchar_t name[MAX_PATH];
    if (::GetTempPathW(MAX_PATH, temp) == 0 || ::GetTempFileNameW(temp, L"unx", 0, name) == 0) return -1;
    // The shell writes the status into the empty file made for this run, then gives it the
    // name looked for in one rename, so it is never read half-written.
    const std::wstring written = name;
    const std::wstring done = written + L".status";
    ChildProcess shell;
    if (!shell.Start(L"Z:\\bin\\sh -c \"(" + command + L"); echo $? > '" + UnixPath(written) + L"' && mv '" +
                     UnixPath(written) + L"' '" + UnixPath(done) + L"'\"")) {
        ::DeleteFileW(written.c_str());
        return -1;
    }
    std::string status;
    for (DWORD start = ::GetTickCount(); !ReadFileBytes(done, &status); ::Sleep(20)) {
        if (::GetTickCount() - start >= timeoutMs) return -1;
    }
    ::DeleteFileW(done.c_str());
    return std::atoi(status.c_str());
}

}  // namespace testenv

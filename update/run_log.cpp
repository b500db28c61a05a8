#include "update/run_log.h"

#include <cwchar>
#include <vector>

#include "afx/afxwin.h"
#include "afx/handles.h"
#include "afx/resource_view.h"
#include "suite/installation_probes.h"
#include "update/run_log_file.h"
#include "update/run_log_text.h"
#include "update/update_result.h"

namespace runlog {

namespace {

// The run's log and the moment the run started. One run a process.
struct State {
    afx::UniqueHandle file;
    LARGE_INTEGER start = {};
    LARGE_INTEGER frequency = {};
};

State& Log() {
    static State state;
    return state;
}

void WriteText(const std::string& text) {
    State& log = Log();
    if (!log.file) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string line = FormatLine({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                                         now.wMilliseconds},
                                        text);
    DWORD written = 0;
    if (!::WriteFile(log.file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
        // A full disk or a vanished share: the run goes on without its log.
        log.file.reset();
    }
}

std::string FileVersion() {
    afx::ResourceView version;
    if (!afx::FindResourceView(AfxGetInstanceHandle(), reinterpret_cast<const char*>(RT_VERSION), VS_VERSION_INFO,
                               &version)) {
        return "unknown";
    }
    const std::string text = FileVersionOf(version.data, version.size);
    return text.empty() ? "unknown" : text;
}

// The version Windows reports of itself. GetVersionEx answers what the manifest declares
// support for; ntdll's RtlGetVersion answers the truth.
std::string WindowsVersion() {
    typedef LONG(WINAPI * PFN_RTLGETVERSION)(OSVERSIONINFOW*);
    auto rtlGetVersion = reinterpret_cast<PFN_RTLGETVERSION>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll"), "RtlGetVersion"));
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) return "Windows, version unknown";
    std::string text = FormatText("Windows %lu.%lu.%lu", info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
    if (info.szCSDVersion[0] != L'\0') text += " " + Utf8(info.szCSDVersion);
    return text;
}

std::string Bitness() {
    if (sizeof(void*) == 8) return "64-bit; the updater runs as a 64-bit process";
    BOOL wow64 = FALSE;
    if (g_pfnIsWow64Process != nullptr && g_pfnIsWow64Process(::GetCurrentProcess(), &wow64) && wow64) {
        return "64-bit; the updater runs as a 32-bit process under WOW64";
    }
    return "32-bit; the updater runs as a 32-bit process, no WOW64";
}

std::string UserName() {
    wchar_t name[257] = L"";  // UNLEN + 1
    DWORD length = sizeof name / sizeof name[0];
    if (!::GetUserNameW(name, &length)) return "unknown (" + ErrorText(::GetLastError()) + ")";
    return Utf8(name);
}

// Whether the process holds its full administrator token (UAC elevation).
std::string Elevation() {
    afx::UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return "elevation unknown";
    TOKEN_ELEVATION elevation = {};
    DWORD bytes = 0;
    if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &bytes)) {
        return "elevation unknown";
    }
    return elevation.TokenIsElevated ? "elevated" : "not elevated";
}

}  // namespace

void Start(const char* commandTail, bool silent) {
    const std::wstring path = PolicyLogPath();
    if (path.empty()) return;
    State& log = Log();
    log.file = OpenLogFile(path);
    if (!log.file) return;
    ::QueryPerformanceFrequency(&log.frequency);
    ::QueryPerformanceCounter(&log.start);

    Write("==== Ostrel Pelmora update %s: run started", FileVersion().c_str());
    Write("command tail: \"%s\"", Utf8FromAnsi(commandTail).c_str());
    Write("run mode: %s", silent ? "silent (-s): no window, a file that cannot be created is skipped"
                                 : "interactive: the confirmation dialog is shown");
    Write("%s, %s", WindowsVersion().c_str(), Bitness().c_str());
    Write("user: %s, %s", UserName().c_str(), Elevation().c_str());
}

bool On() {
    return Log().file.valid();
}

void Write(const char* format, ...) {
    if (!On()) return;
    std::va_list args;
    va_start(args, format);
    const std::string text = FormatText(format, args);
    va_end(args);
    WriteText(text);
}

void Row(int number, const std::string& target, unsigned long sizeBytes, bool written, DWORD error,
         const std::string& inUse) {
    if (!On()) return;
    if (written) {
        Write("row %d: %s (%lu bytes): written%s%s", number, target.c_str(), sizeBytes, inUse.empty() ? "" : "; ",
              inUse.c_str());
        return;
    }
    Write("row %d: %s (%lu bytes): NOT written, %s", number, target.c_str(), sizeBytes,
          error != ERROR_SUCCESS ? ErrorText(error).c_str() : "no system error reported");
}

void Finish(int exitCode) {
    State& log = Log();
    if (!log.file) return;
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    const long long elapsedMs =
        log.frequency.QuadPart > 0 ? (now.QuadPart - log.start.QuadPart) * 1000 / log.frequency.QuadPart : -1;
    Write("==== exit code %d: %s; the run took %lld ms", exitCode, UpdateResultMeaning(exitCode), elapsedMs);
    log.file.reset();
}

std::string Utf8(const wchar_t* text) {
    return text != nullptr ? Utf8FromUtf16(text, std::wcslen(text)) : std::string();
}

std::string Utf8FromAnsi(const char* text) {
    if (text == nullptr || text[0] == '\0') return {};
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (chars <= 0) return {};
    std::vector<wchar_t> wide(static_cast<size_t>(chars));
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), chars);
    return Utf8(wide.data());
}

std::string ErrorText(DWORD error) {
    wchar_t* message = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    afx::LocalMemory owned(message);
    if (length == 0 || message == nullptr) return FormatText("error %lu: (the system has no message for it)", error);
    return FormatText("error %lu: %s", error, TrimMessage(Utf8FromUtf16(message, length)).c_str());
}

}  // namespace runlog

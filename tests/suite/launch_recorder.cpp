// Test tool: records how it was started, for tests of programs that start others.
// Writes "<its own path>.started" (UTF-16): one line "arg=<argument>" per command-line argument after
// the program's name, then "show=<n>", the show command it was given (-1 when none), and exits.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "afx/handles.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t self[MAX_PATH] = L"";
    if (::GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return 1;

    std::wstring record;
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    for (int i = 1; argv != nullptr && i < argc; ++i) record += std::wstring(L"arg=") + argv[i] + L"\n";
    if (argv != nullptr) ::LocalFree(argv);

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    ::GetStartupInfoW(&si);
    const int show = (si.dwFlags & STARTF_USESHOWWINDOW) != 0 ? si.wShowWindow : -1;
    record += L"show=" + std::to_wstring(show) + L"\n";

    // Written aside and then renamed, so a reader never sees half a record.
    const std::wstring partial = std::wstring(self) + L".partial";
    const std::wstring done = std::wstring(self) + L".started";
    {
        afx::UniqueHandle file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!file) return 2;
        DWORD written = 0;
        const DWORD size = static_cast<DWORD>(record.size() * sizeof(wchar_t));
        if (!::WriteFile(file.get(), record.data(), size, &written, nullptr) || written != size) return 3;
    }
    return ::MoveFileExW(partial.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}

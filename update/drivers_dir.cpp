#include "update/drivers_dir.h"

#include <cwchar>

namespace {

// The Windows directory of the machine, not a per-user one of a terminal server session.
bool JoinToWindowsDir(const wchar_t* name, wchar_t (&dir)[MAX_PATH]) {
    const UINT length = ::GetSystemWindowsDirectoryW(dir, MAX_PATH);
    if (length == 0 || length + std::wcslen(name) >= MAX_PATH) {
        dir[0] = L'\0';
        return false;
    }
    std::wcscat(dir, name);
    return true;
}

}  // namespace

bool DriversBaseDir(BOOL bIsWow64, wchar_t (&dir)[MAX_PATH]) {
    if (sizeof(void*) == 4 && bIsWow64) return JoinToWindowsDir(L"\\Sysnative", dir);
    const UINT length = ::GetSystemDirectoryW(dir, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        dir[0] = L'\0';
        return false;
    }
    return true;
}

std::wstring DriversFolderAsNamed(BOOL bIsWow64) {
    wchar_t dir[MAX_PATH];
    const bool built = sizeof(void*) == 4 && bIsWow64 ? JoinToWindowsDir(L"\\System32", dir)
                                                       : DriversBaseDir(bIsWow64, dir);
    return built ? std::wstring(dir) + L"\\Drivers" : std::wstring();
}

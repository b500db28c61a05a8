#include "suite/dll_search.h"

BOOL RestrictDllSearchToSystem() {
    typedef BOOL(WINAPI * PFN_SETDEFAULTDLLDIRECTORIES)(DWORD);
    // Missing from Windows 7 and older without the update that brought it.
    auto pfnSetDefaultDllDirectories = reinterpret_cast<PFN_SETDEFAULTDLLDIRECTORIES>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "SetDefaultDllDirectories"));
    if (pfnSetDefaultDllDirectories != nullptr && pfnSetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return TRUE;
    }
    ::SetDllDirectoryW(L"");
    return FALSE;
}

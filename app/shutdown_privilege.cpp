#include "app/shutdown_privilege.h"

#include "afx/handles.h"

BOOL EnableShutdownPrivilege(HANDLE hToken) {
    TOKEN_PRIVILEGES tkp = {};
    // A failed lookup leaves an identifier that no token holds; the adjustment then says so.
    ::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tkp.Privileges[0].Luid);
    tkp.PrivilegeCount = 1;
    tkp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // The adjustment succeeds even for a privilege the token lacks: only the last error tells.
    ::AdjustTokenPrivileges(hToken, FALSE, &tkp, 0, nullptr, nullptr);
    return ::GetLastError() == ERROR_SUCCESS;
}

BOOL EnableShutdownPrivilege() {
    afx::UniqueHandle hToken;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, hToken.put())) {
        return FALSE;
    }
    return EnableShutdownPrivilege(hToken.get());
}

// What the updater learns about the installed product before it writes anything: whether its
// version may be updated, where it is installed, and whether Windows is 64-bit. The probes
// themselves are members of CHalvernDlg (app/halvern_dlg.h); this header holds their state.
#pragma once

#include <windows.h>

// 1 when the last version gate found a version of 2.x or above (already current), 0 when it
// found one below 1.02.00; left as it was by a version in between or a failed read. 0 at start.
extern int g_bAlreadyCurrent;

// The install directory exactly as "RootPath" holds it (no separator added or removed),
// terminated within its first 128 code units. All zero until ReadRootPath succeeds.
extern wchar_t g_szRootPath[256];

typedef BOOL(WINAPI* PFN_ISWOW64PROCESS)(HANDLE, PBOOL);
// kernel32's IsWow64Process, looked up during static initialisation; null where the system
// does not export it.
extern PFN_ISWOW64PROCESS g_pfnIsWow64Process;

namespace suite {

// Version numbers of the gate: below kFirstUpdatableVersion is too old to update, from
// kFirstCurrentVersion on is already current.
constexpr long kFirstUpdatableVersion = 10200;  // "1.02.00"
constexpr long kFirstCurrentVersion = 20000;    // "2.00.00"

// The number a version text stands for: every "." removed, then what remains read as strtol
// reads base 10 (leading white space skipped, one sign, digits up to the first other
// character, 0 without digits, saturated at LONG_MIN / LONG_MAX). "1.02.00" gives 10200.
// A null text gives 0.
long ParseVersionNumber(const char* versionText);

}  // namespace suite

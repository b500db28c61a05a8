#include "suite/installation_probes.h"

#include <cstdlib>
#include <cwchar>
#include <string>

#include "afx/ansi_text.h"
#include "app/halvern_dlg.h"
#include "suite/registry_value.h"
#include "update/run_log.h"

int g_bAlreadyCurrent = 0;
wchar_t g_szRootPath[256] = {};
PFN_ISWOW64PROCESS g_pfnIsWow64Process = reinterpret_cast<PFN_ISWOW64PROCESS>(
    ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process"));

namespace {

constexpr wchar_t kSuiteKey[] = L"Software\\Ostrel\\Pelmora";

}  // namespace

namespace suite {

long ParseVersionNumber(const char* versionText) {
    if (versionText == nullptr) return 0;
    std::string digits;
    for (const char* p = versionText; *p != '\0'; ++p) {
        if (*p != '.') digits += *p;
    }
    return std::strtol(digits.c_str(), nullptr, 10);
}

}  // namespace suite

int CHalvernDlg::CheckInstalledVersion() {
    wchar_t wstrKeyValue[suite::kRegistryTextChars] = {};
    if (!suite::ReadMachineString(kSuiteKey, L"Major Version", wstrKeyValue, suite::kRegistryTextChars)) {
        runlog::Write("installed version: none (\"Major Version\" of HKLM\\Software\\Ostrel\\Pelmora missing or "
                      "unreadable): not installed");
        return 0;
    }

    const long version = suite::ParseVersionNumber(afx::ToAnsi(wstrKeyValue).c_str());
    const char* verdict = version >= suite::kFirstCurrentVersion     ? "already current (2.x or above)"
                          : version >= suite::kFirstUpdatableVersion ? "may be updated"
                                                                     : "below 1.02.00, not supported";
    if (runlog::On()) runlog::Write("installed version: %s: %s", runlog::Utf8(wstrKeyValue).c_str(), verdict);
    if (version >= suite::kFirstCurrentVersion) {
        g_bAlreadyCurrent = 1;
        return 0;
    }
    if (version >= suite::kFirstUpdatableVersion) return 1;
    g_bAlreadyCurrent = 0;
    return 0;
}

int CHalvernDlg::ReadRootPath() {
    wchar_t root[suite::kRegistryTextChars] = {};
    if (!suite::ReadMachineString(kSuiteKey, L"RootPath", root, suite::kRegistryTextChars)) return 0;
    // An empty directory would put every target at the root of the current drive.
    if (root[0] == L'\0') return 0;
    std::wcscpy(g_szRootPath, root);
    return 1;
}

BOOL CHalvernDlg::IsWow64() {
    BOOL bIsWow64 = FALSE;
    if (g_pfnIsWow64Process != nullptr) g_pfnIsWow64Process(::GetCurrentProcess(), &bIsWow64);
    return bIsWow64;
}

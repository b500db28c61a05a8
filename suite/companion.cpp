#include "suite/companion.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "afx/ansi_text.h"
#include "afx/handles.h"
#include "app/halvern_dlg.h"
#include "suite/registry_value.h"
#include "update/run_log.h"

wchar_t g_szUninstallValue[256] = {};
char g_szCompanionExe[260] = {};

namespace {

constexpr wchar_t kCompanionKey[] = L"Software\\Ostrel\\Pelmora\\Tarnwell+";
constexpr char kSetupName[] = "setup.exe";
constexpr char kCompanionName[] = "TarnwellPlus.exe";
constexpr size_t kSetupNameLength = sizeof kSetupName - 1;
constexpr DWORD kReleasePollMs = 50;

}  // namespace

namespace suite {

bool DeriveCompanionPath(const char* uninstallCommand, afx::LeadBytePredicate isLeadByte, std::string* companionPath) {
    if (uninstallCommand == nullptr) return false;
    std::string derived;
    bool replaced = false;
    const char* p = uninstallCommand;
    while (*p != '\0') {
        if (std::strncmp(p, kSetupName, kSetupNameLength) == 0) {
            derived += kCompanionName;
            p += kSetupNameLength;
            replaced = true;
            continue;
        }
        // A trail byte may look like the "s" of the name; it belongs to its lead byte.
        if (isLeadByte != nullptr && isLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') {
            derived += *p++;
        }
        derived += *p++;
    }
    if (!replaced || derived.size() > kCompanionPathMaxBytes) return false;
    *companionPath = derived;
    return true;
}

bool WaitForCompanionRelease(const char* companionPath, unsigned long timeoutMs) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        // Opening for writing changes nothing; without sharing it succeeds only when no
        // process, the quitting companion included, still has the file open or mapped.
        afx::UniqueHandle probe(::CreateFileA(companionPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        if (probe) return true;
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;

        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= timeoutMs) return false;
        const ULONGLONG left = timeoutMs - elapsed;
        ::Sleep(static_cast<DWORD>(left < kReleasePollMs ? left : kReleasePollMs));
    }
}

}  // namespace suite

int CHalvernDlg::RefreshCompanion() {
    g_szCompanionExe[0] = '\0';
    constexpr size_t kValueChars = sizeof g_szUninstallValue / sizeof g_szUninstallValue[0];
    if (!suite::ReadMachineString(kCompanionKey, L"Uninstall", g_szUninstallValue, kValueChars)) {
        runlog::Write("companion: no \"Uninstall\" value (HKLM\\Software\\Ostrel\\Pelmora\\Tarnwell+): "
                      "none registered");
        return 0;
    }
    if (runlog::On()) {
        runlog::Write("companion: \"Uninstall\" value read: %s", runlog::Utf8(g_szUninstallValue).c_str());
    }

    // A value without the companion's "setup.exe" would name the uninstaller (or another
    // program) as the file to start with "-q" and then overwrite; so would one whose ANSI form
    // replaced a character by a look-alike or the default character.
    std::string uninstall;
    if (!afx::ToAnsiExactly(g_szUninstallValue, &uninstall)) {
        runlog::Write("companion: the value has no exact ANSI form; no executable derived");
        return 0;
    }
    std::string companion;
    if (!suite::DeriveCompanionPath(uninstall.c_str(), &afx::IsLeadByteInAnsiCodePage, &companion)) {
        runlog::Write("companion: the value names no setup.exe, or the path derived is too long; "
                      "no executable derived");
        return 0;
    }
    std::memcpy(g_szCompanionExe, companion.c_str(), companion.size() + 1);

    // ShellExecute reports success as a value above 32.
    const INT_PTR started =
        reinterpret_cast<INT_PTR>(::ShellExecuteA(nullptr, "OPEN", g_szCompanionExe, "-q", nullptr, SW_HIDE));
    if (runlog::On()) {
        runlog::Write(started > 32 ? "companion: executable derived: %s; started with -q to quit"
                                   : "companion: executable derived: %s; it could not be started with -q",
                      runlog::Utf8FromAnsi(g_szCompanionExe).c_str());
    }
    return 1;
}

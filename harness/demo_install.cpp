#include "demo_install.h"

#include "update/catalogue.h"
#include "update/run_log_file.h"
#include "window_probe.h"

namespace demo {

const char kOldTrailer[] = "\r\nPELMORA-OLD-INSTALLED-COPY\r\n";

namespace {

const wchar_t kSuiteKey[] = L"Software\\Ostrel\\Pelmora";
const wchar_t kCompanionKey[] = L"Software\\Ostrel\\Pelmora\\Tarnwell+";
// Upper bound for a stand-in to show its window; a Wine process start can take seconds on a
// busy machine.
constexpr DWORD kStartMs = 10000;

// A copy of a stand-in with a trailer appended: it still runs, and differs from the payload.
bool InstallOldCopy(const std::wstring& standin, const std::wstring& target) {
    std::string bytes;
    if (!testenv::ReadFileBytes(testenv::BinFile(L"standins\\" + standin), &bytes)) return false;
    return testenv::WriteFileBytes(target, bytes + kOldTrailer);
}

}  // namespace

bool SetMachineString(const wchar_t* subkey, const wchar_t* value, const std::wstring& data) {
    afx::RegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes) ==
           ERROR_SUCCESS;
}

bool SetRunLogPolicy(const std::wstring& logFile, DWORD type) {
    if (logFile.empty()) {
        const LSTATUS status = ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, runlog::kPolicyKey, KEY_WOW64_64KEY, 0);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    afx::RegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, runlog::kPolicyKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD bytes = static_cast<DWORD>((logFile.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), runlog::kPolicyValue, 0, type, reinterpret_cast<const BYTE*>(logFile.c_str()),
                            bytes) == ERROR_SUCCESS;
}

void RemoveSuiteRegistry() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Ostrel");
}

bool Installation::Create(const Options& options) {
    Remove();
    m_options = options;
    const std::wstring& root = options.root;
    testenv::RemoveTree(root);
    testenv::RemoveTree(CompanionDir());
    if (!testenv::MakeDirs(root)) return false;

    for (int n = PayloadCatalogue::kFirstSkin; n <= PayloadCatalogue::kLastSkin; ++n) {
        std::wstring relative = PayloadCatalogue::Row(n).relativePath;
        testenv::MakeDirs(root + relative.substr(0, relative.rfind(L'\\')));
    }
    // A few skin files of the old version, to be replaced.
    bool ok = testenv::WriteFileBytes(root + L"\\resource\\cover\\cover.png", kOldTrailer);
    ok = ok && testenv::WriteFileBytes(root + L"\\resource\\Pelmora_01.ico", kOldTrailer);
    if (options.appSetup) ok = ok && testenv::WriteFileBytes(root + L"\\AppSetup.ini", "[Setup]\r\nVersion=1.02.00\r\n");
    if (options.logo) ok = ok && testenv::WriteFileBytes(root + L"\\resource\\background\\HM\\logo.png", kOldTrailer);
    ok = ok && InstallOldCopy(L"Pelmora.exe", root + L"\\Pelmora.exe");
    ok = ok && InstallOldCopy(L"Quorvel.dll", root + L"\\Quorvel.dll");

    if (options.registerSuite) {
        if (!options.version.empty()) ok = ok && SetMachineString(kSuiteKey, L"Major Version", options.version);
        if (options.rootPath) ok = ok && SetMachineString(kSuiteKey, L"RootPath", root);
    }
    ok = ok && testenv::MakeDirs(CompanionDir());
    ok = ok && InstallOldCopy(L"TarnwellPlus.exe", CompanionExe());
    ok = ok && testenv::WriteFileBytes(CompanionDir() + L"\\setup.exe", kOldTrailer);
    if (options.registerCompanion) {
        ok = ok && SetMachineString(kCompanionKey, L"Uninstall", CompanionDir() + L"\\setup.exe");
    }
    if (!ok) return false;

    if (options.runProduct && !StartProduct()) return false;
    if (options.runCompanion && !StartCompanion()) return false;
    return true;
}

bool Installation::StartProduct() {
    std::wstring cmd = L"\"" + Root() + L"\\Pelmora.exe\"";
    if (m_options.productIgnoresClose) cmd += L" --ignore-close";
    m_product = testenv::ChildProcess();
    if (!m_product.Start(cmd)) return false;
    return probe::WaitForTopWindow(m_product.Pid(), "TMainForm", "Pelmora", kStartMs) != nullptr;
}

bool Installation::StartCompanion() {
    m_companion = testenv::ChildProcess();
    if (!m_companion.Start(L"\"" + CompanionExe() + L"\"")) return false;
    // Its quit switch reaches only an instance whose window is already there.
    return probe::WaitForTopWindow(m_companion.Pid(), "TTarnwellPlusHost", nullptr, kStartMs) != nullptr;
}

void Installation::Remove() {
    m_product.Terminate();
    m_companion.Terminate();
    m_product = testenv::ChildProcess();
    m_companion = testenv::ChildProcess();
    RemoveSuiteRegistry();
}

}  // namespace demo

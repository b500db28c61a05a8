// A demo installation of the suite, as the updater finds one on a user's machine: registry
// values, the install tree with every skin folder, "AppSetup.ini" and the logo, the stand-in
// product running, and the companion registered and running. Used by the end-to-end tests,
// the demo and the benchmark.
#pragma once

#include <windows.h>

#include <string>

#include "test_env.h"

namespace demo {

struct Options {
    std::wstring root;                    // install directory ("RootPath")
    std::wstring version = L"1.02.00";    // "Major Version"; empty: the value is not written
    bool registerSuite = true;            // false: no "Software\Ostrel\Pelmora" key at all
    bool rootPath = true;                 // false: no "RootPath" value
    bool appSetup = true;                 // "\AppSetup.ini"
    bool logo = true;                     // "\resource\background\HM\logo.png"
    bool runProduct = true;               // the installed stand-in product, started
    bool productIgnoresClose = false;     // ... one that ignores the close message
    bool registerCompanion = true;        // "Uninstall" value naming the companion's setup.exe
    bool runCompanion = true;             // the installed stand-in companion, started
};

// Marks the installed copies, so that a replaced file tells from an old one.
extern const char kOldTrailer[];

class Installation {
public:
    // Removes what an earlier installation of the same root left (registry, files,
    // processes), then makes a new one. False when some part could not be made.
    bool Create(const Options& options);
    // Ends the processes the installation started and removes its registry keys.
    void Remove();
    // Start the installed stand-in product (with --ignore-close when the options say so) or
    // companion, as Create does, again after an update has stopped them; true once its window
    // is up. A previous process of the same role is let go of, not ended.
    bool StartProduct();
    bool StartCompanion();
    ~Installation() { Remove(); }

    const std::wstring& Root() const { return m_options.root; }
    std::wstring CompanionDir() const { return m_options.root + L" Tarnwell+"; }
    std::wstring CompanionExe() const { return CompanionDir() + L"\\TarnwellPlus.exe"; }
    testenv::ChildProcess& Product() { return m_product; }
    testenv::ChildProcess& Companion() { return m_companion; }

private:
    Options m_options;
    testenv::ChildProcess m_product;
    testenv::ChildProcess m_companion;
};

// Deletes the suite's registry keys ("Software\Ostrel" below HKEY_LOCAL_MACHINE).
void RemoveSuiteRegistry();
// Writes REG_SZ `value` = `data` under HKEY_LOCAL_MACHINE\`subkey`, creating the key.
bool SetMachineString(const wchar_t* subkey, const wchar_t* value, const std::wstring& data);
// Turns the updater's run log on, as an administrator's policy does: the policy value names
// `logFile`, stored with `type` (REG_SZ, or REG_EXPAND_SZ for a path with environment
// variables) in the 64-bit registry view where there is one. An empty `logFile` turns it off
// (the policy key is removed). True on success.
bool SetRunLogPolicy(const std::wstring& logFile, DWORD type = REG_SZ);

}  // namespace demo

// The probes against real registry values in a private machine hive, and the bitness probe
// in the prefix it runs in.
#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <string>

#include "app/halvern_dlg.h"
#include "machine_registry.h"
#include "suite/installation_probes.h"
#include "test_env.h"

namespace {

constexpr wchar_t kOstrelKey[] = L"Software\\Ostrel";
constexpr wchar_t kSuiteKey[] = L"Software\\Ostrel\\Pelmora";

// How a case stores the value it reads.
enum class Stored {
    Text,            // REG_SZ with its terminator
    Unterminated,    // REG_SZ, exactly the text's bytes
    OddLength,       // REG_SZ, the text's bytes and one more byte
    Binary,          // REG_BINARY, exactly the text's bytes
    NoValue,         // the key exists, the value does not
    NoKey,           // no "Software\Ostrel" at all
};

void Store(suitetest::PrivateMachineHive& hive, const wchar_t* valueName, Stored stored, const std::wstring& text) {
    hive.DeleteKey(kOstrelKey);
    const std::string bytes = suitetest::Utf16Bytes(text);
    bool done = true;
    switch (stored) {
        case Stored::Text: done = hive.SetString(kSuiteKey, valueName, text); break;
        case Stored::Unterminated: done = hive.SetRaw(kSuiteKey, valueName, REG_SZ, bytes); break;
        case Stored::OddLength: done = hive.SetRaw(kSuiteKey, valueName, REG_SZ, bytes + "X"); break;
        case Stored::Binary: done = hive.SetRaw(kSuiteKey, valueName, REG_BINARY, bytes); break;
        case Stored::NoValue: done = hive.CreateKey(kSuiteKey); break;
        case Stored::NoKey: break;
    }
    ASSERT_TRUE(done) << testenv::Narrow(valueName) << " could not be stored";
}

// A value no gate writes, to tell "left alone" from "set".
constexpr int kUntouched = -7;

struct VersionCase {
    const char* name;
    Stored stored;
    std::wstring text;
    long number;        // what the text parses to (Text cases)
    int result;
    int alreadyCurrent;  // g_bAlreadyCurrent afterwards
};

TEST(InstallationProbes, VersionGate) {
    suitetest::PrivateMachineHive hive;
    ASSERT_TRUE(hive.ok()) << "HKEY_LOCAL_MACHINE could not be overridden";
    const VersionCase cases[] = {
        {"lowest updatable", Stored::Text, L"1.02.00", 10200, 1, kUntouched},
        {"highest updatable", Stored::Text, L"1.99.99", 19999, 1, kUntouched},
        {"just too old", Stored::Text, L"1.01.99", 10199, 0, 0},
        {"2.x is current", Stored::Text, L"2.00.00", 20000, 0, 1},
        {"one-digit fields", Stored::Text, L"1.2.0", 120, 0, 0},
        {"fourth field", Stored::Text, L"1.02.00.1234", 102001234, 0, 1},
        {"two fields", Stored::Text, L"10.0", 100, 0, 0},
        {"leading blank", Stored::Text, L" 1.02.00", 10200, 1, kUntouched},
        {"trailing word", Stored::Text, L"1.02.00 beta", 10200, 1, kUntouched},
        {"leading letter", Stored::Text, L"v1.02.00", 0, 0, 0},
        {"minus sign", Stored::Text, L"-1.02.00", -10200, 0, 0},
        {"empty", Stored::Text, L"", 0, 0, 0},
        {"past 32 bits", Stored::Text, L"99999999999", LONG_MAX, 0, 1},
        {"126 characters", Stored::Text, L"1.02.00" + std::wstring(119, L' '), 10200, 1, kUntouched},
        {"127 characters", Stored::Text, L"1.02.00" + std::wstring(120, L' '), 10200, 0, kUntouched},
        {"no terminator", Stored::Unterminated, L"1.02.00", 10200, 1, kUntouched},
        {"odd length", Stored::OddLength, L"2.00.00", 20000, 0, 1},
        {"missing value", Stored::NoValue, L"", 0, 0, kUntouched},
        {"missing key", Stored::NoKey, L"", 0, 0, kUntouched},
    };
    CHalvernDlg dlg;
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.stored == Stored::Text) {
            EXPECT_EQ(suite::ParseVersionNumber(testenv::Narrow(c.text).c_str()), c.number) << c.name;
        }
        Store(hive, L"Major Version", c.stored, c.text);
        g_bAlreadyCurrent = kUntouched;
        EXPECT_EQ(dlg.CheckInstalledVersion(), c.result) << c.name;
        EXPECT_EQ(g_bAlreadyCurrent, c.alreadyCurrent) << c.name;
    }
    hive.DeleteKey(kOstrelKey);
}

struct RootPathCase {
    const char* name;
    Stored stored;
    std::wstring text;
    int result;
    std::wstring rootPath;  // g_szRootPath afterwards
};

TEST(InstallationProbes, RootPath) {
    suitetest::PrivateMachineHive hive;
    ASSERT_TRUE(hive.ok()) << "HKEY_LOCAL_MACHINE could not be overridden";
    const std::wstring previous = L"C:\\Previous run";
    const std::wstring path126 = L"C:\\" + std::wstring(123, L'p');
    const std::wstring path127 = path126 + L"q";
    const RootPathCase cases[] = {
        {"plain", Stored::Text, L"C:\\Program Files\\Ostrel\\Pelmora", 1, L"C:\\Program Files\\Ostrel\\Pelmora"},
        {"trailing separator kept", Stored::Text, L"D:\\Pelmora\\", 1, L"D:\\Pelmora\\"},
        {"126 characters", Stored::Text, path126, 1, path126},
        {"127 characters", Stored::Text, path127, 0, previous},
        {"empty", Stored::Text, L"", 0, previous},
        {"missing value", Stored::NoValue, L"", 0, previous},
        {"missing key", Stored::NoKey, L"", 0, previous},
        {"no terminator", Stored::Unterminated, L"C:\\Pelmora", 1, L"C:\\Pelmora"},
        {"no terminator, 127 characters", Stored::Unterminated, path127, 1, path127},
        {"odd length", Stored::OddLength, L"C:\\Pelmora", 1, L"C:\\Pelmora"},
        {"binary", Stored::Binary, L"E:\\Bin", 1, L"E:\\Bin"},
        {"255 bytes, no null", Stored::OddLength, path127, 1, path127},
    };
    CHalvernDlg dlg;
    for (const RootPathCase& c : cases) {
        SCOPED_TRACE(c.name);
        Store(hive, L"RootPath", c.stored, c.text);
        // Garbage after the terminator shows whether a read runs past the value's end.
        std::wmemset(g_szRootPath, L'#', 256);
        std::wcscpy(g_szRootPath, previous.c_str());
        EXPECT_EQ(dlg.ReadRootPath(), c.result) << c.name;
        EXPECT_EQ(std::wstring(g_szRootPath), c.rootPath) << c.name;
    }
    hive.DeleteKey(kOstrelKey);
}

TEST(InstallationProbes, IsWow64FollowsThePrefix) {
    CHalvernDlg dlg;
    const BOOL wow64 = dlg.IsWow64();
    EXPECT_NE(g_pfnIsWow64Process, nullptr);
    if (testenv::Is64BitPrefix()) {
        EXPECT_NE(wow64, FALSE) << "prefix " << testenv::PrefixName();
    } else {
        EXPECT_EQ(wow64, FALSE) << "prefix " << testenv::PrefixName() << ", got " << wow64;
    }
}

}  // namespace

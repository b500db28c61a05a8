// The companion refresh: the path derivation on its own, then the whole refresh against a
// private machine hive with the companion stand-in and a program that records its start.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "afx/handles.h"
#include "app/halvern_dlg.h"
#include "machine_registry.h"
#include "suite/companion.h"
#include "test_env.h"
#include "window_probe.h"

namespace {

// Lead bytes of a double-byte code page shaped like Shift-JIS.
bool FakeLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0x9F; }

struct DeriveCase {
    const char* name;
    std::string uninstall;
    afx::LeadBytePredicate isLeadByte;
    bool derived;
    std::string companion;  // when derived
};

TEST(Companion, DeriveCompanionPath) {
    const std::string longest(259 - std::strlen("TarnwellPlus.exe"), 'a');
    const DeriveCase cases[] = {
        {"ends in setup.exe", "C:\\Tarnwell\\setup.exe", nullptr, true, "C:\\Tarnwell\\TarnwellPlus.exe"},
        {"setup.exe twice", "C:\\setup.exe\\setup.exe", nullptr, true, "C:\\TarnwellPlus.exe\\TarnwellPlus.exe"},
        {"back to back", "setup.exesetup.exe", nullptr, true, "TarnwellPlus.exeTarnwellPlus.exe"},
        {"inside a folder name", "C:\\setup.exe.d\\run", nullptr, true, "C:\\TarnwellPlus.exe.d\\run"},
        {"capital S", "C:\\Tarnwell\\Setup.exe", nullptr, false, ""},
        {"another name", "C:\\Tarnwell\\uninst.exe", nullptr, false, ""},
        {"name cut short", "C:\\Tarnwell\\setup.ex", nullptr, false, ""},
        {"empty", "", nullptr, false, ""},
        {"s as a trail byte", "C:\\\x81" "setup.exe", &FakeLeadByte, false, ""},
        {"s after a single-byte character", "C:\\\x81" "setup.exe", nullptr, true, "C:\\\x81" "TarnwellPlus.exe"},
        {"after a double-byte character", "C:\\\x81\x40" "setup.exe", &FakeLeadByte, true,
         "C:\\\x81\x40" "TarnwellPlus.exe"},
        {"lead byte at the very end", "C:\\setup.exe\x81", &FakeLeadByte, true, "C:\\TarnwellPlus.exe\x81"},
        {"result of 259 bytes", longest + "setup.exe", nullptr, true, longest + "TarnwellPlus.exe"},
        {"result of 260 bytes", longest + "asetup.exe", nullptr, false, ""},
    };
    for (const DeriveCase& c : cases) {
        std::string companion = "untouched";
        const bool derived = suite::DeriveCompanionPath(c.uninstall.c_str(), c.isLeadByte, &companion);
        EXPECT_EQ(derived, c.derived) << c.name << ": got \"" << companion << "\"";
        EXPECT_EQ(companion, c.derived ? c.companion : std::string("untouched")) << c.name;
    }
}

constexpr wchar_t kCompanionKey[] = L"Software\\Ostrel\\Pelmora\\Tarnwell+";
constexpr DWORD kLaunchMs = 15000;
// The longest the update waits for the companion to let go of its executable.
constexpr DWORD kReleaseMs = suite::kCompanionReleaseMs;
// The wait given to a companion that never quits: small, since the case waits it out.
constexpr DWORD kStuckReleaseMs = 300;

// Counts the processes this one starts, through a job object it joins: a child joins its
// parent's job as it is created, so a start within a call shows in the count when it returns,
// however soon the started program ends.
class ProcessStarts {
public:
    ProcessStarts() : m_job(::CreateJobObjectW(nullptr, nullptr)) {
        m_ok = m_job.valid() && ::AssignProcessToJobObject(m_job.get(), ::GetCurrentProcess());
    }
    bool ok() const { return m_ok; }
    // Processes started in the job so far (this one included), or -1 when unreadable.
    long Total() const {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
        if (!::QueryInformationJobObject(m_job.get(), JobObjectBasicAccountingInformation, &info, sizeof info,
                                         nullptr)) {
            return -1;
        }
        return static_cast<long>(info.TotalProcesses);
    }

private:
    afx::UniqueHandle m_job;
    bool m_ok = false;
};

// What runs as the companion: the recorder (which exits once it has recorded its start), the
// stand-in quitting at once, quitting 700 ms after the request, or never; or no file at all.
enum class Program { Recorder, StandIn, SlowStandIn, StuckStandIn, NoFile };

const wchar_t* StandInArgs(Program program) {
    switch (program) {
    case Program::SlowStandIn: return L" --quit-after 700";
    case Program::StuckStandIn: return L" --ignore-quit";
    default: return L"";
    }
}

bool IsStandIn(Program program) {
    return program == Program::StandIn || program == Program::SlowStandIn || program == Program::StuckStandIn;
}

// What waiting for the companion's executable reports, and after how long.
struct Release {
    DWORD budgetMs;  // handed to WaitForCompanionRelease
    bool released;
    DWORD atLeastMs;
    DWORD underMs;
};
constexpr Release kNotWaited = {0, false, 0, 0};

struct RefreshCase {
    const char* name;
    bool keyExists;
    const wchar_t* value;      // below the case's folder; null: no "Uninstall" value
    Program program;           // what is placed at `programAt` (the stand-in is started)
    const wchar_t* programAt;  // below the case's folder
    int result;
    const wchar_t* companion;  // expected g_szCompanionExe below the case's folder; null: empty
    Release release;           // when launched: WaitForCompanionRelease on g_szCompanionExe
};

std::wstring Parent(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

void PlaceRecorder(const std::wstring& path) {
    ASSERT_TRUE(testenv::MakeDirs(Parent(path)));
    ASSERT_TRUE(::CopyFileW(testenv::BinFile(L"suite_launch_recorder.exe").c_str(), path.c_str(), FALSE));
}

// The record a recorder at `path` left, or "" when none appeared within `ms`.
std::wstring WaitForRecord(const std::wstring& path, DWORD ms) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        std::string bytes;
        if (testenv::ReadFileBytes(path + L".started", &bytes)) {
            return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        }
        if (::GetTickCount64() - start >= ms) return L"";
        ::Sleep(50);
    }
}

TEST(Companion, RefreshCompanion) {
    suitetest::PrivateMachineHive hive;
    ASSERT_TRUE(hive.ok()) << "HKEY_LOCAL_MACHINE could not be overridden";
    const RefreshCase cases[] = {
        {"ends in setup.exe: the running companion quits", true, L"setup.exe", Program::StandIn, L"TarnwellPlus.exe",
         1, L"TarnwellPlus.exe", {kReleaseMs, true, 0, kReleaseMs}},
        {"the running companion quits slowly", true, L"setup.exe", Program::SlowStandIn, L"TarnwellPlus.exe", 1,
         L"TarnwellPlus.exe", {kReleaseMs, true, 700, kReleaseMs}},
        {"the running companion never quits", true, L"setup.exe", Program::StuckStandIn, L"TarnwellPlus.exe", 1,
         L"TarnwellPlus.exe", {kStuckReleaseMs, false, kStuckReleaseMs, kStuckReleaseMs + 1000}},
        {"no companion file", true, L"setup.exe", Program::NoFile, L"TarnwellPlus.exe", 1, L"TarnwellPlus.exe",
         {kReleaseMs, true, 0, 1000}},
        {"ends in setup.exe: started hidden with -q", true, L"setup.exe", Program::Recorder, L"TarnwellPlus.exe", 1,
         L"TarnwellPlus.exe", {kReleaseMs, true, 0, kReleaseMs}},
        {"setup.exe twice", true, L"setup.exe\\setup.exe", Program::Recorder, L"TarnwellPlus.exe\\TarnwellPlus.exe", 1,
         L"TarnwellPlus.exe\\TarnwellPlus.exe", {kReleaseMs, true, 0, kReleaseMs}},
        {"missing key", false, nullptr, Program::Recorder, L"TarnwellPlus.exe", 0, nullptr, kNotWaited},
        {"missing value", true, nullptr, Program::Recorder, L"TarnwellPlus.exe", 0, nullptr, kNotWaited},
        {"another name", true, L"uninst.exe", Program::Recorder, L"uninst.exe", 0, nullptr, kNotWaited},
        {"Setup.exe with a capital", true, L"Setup.exe", Program::Recorder, L"Setup.exe", 0, nullptr, kNotWaited},
        // U+0142 has no place in the ANSI code page; a lossy conversion would name the look-alike
        // folder "Tarnwell", whose program must be neither started nor replaced.
        {"folder the ANSI code page cannot hold", true, L"Tarnwe\x0142\x0142\\setup.exe", Program::Recorder,
         L"Tarnwell\\TarnwellPlus.exe", 0, nullptr, kNotWaited},
    };
    ProcessStarts starts;
    ASSERT_TRUE(starts.ok()) << "cannot count the processes started, error " << ::GetLastError();
    CHalvernDlg dlg;
    int index = 0;
    for (const RefreshCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring dir = testenv::FreshDir(L"suite-companion-" + std::to_wstring(index++));
        const std::wstring program = dir + L"\\" + c.programAt;

        hive.DeleteKey(L"Software\\Ostrel");
        if (c.keyExists) {
            ASSERT_TRUE(hive.CreateKey(kCompanionKey));
        }
        if (c.value != nullptr) {
            ASSERT_TRUE(hive.SetString(kCompanionKey, L"Uninstall", dir + L"\\" + c.value));
        }

        // What an earlier run left must be neither kept nor started.
        const std::wstring stale = dir + L"\\stale\\TarnwellPlus.exe";
        ASSERT_NO_FATAL_FAILURE(PlaceRecorder(stale));
        std::strcpy(g_szCompanionExe, testenv::Narrow(stale).c_str());

        testenv::ChildProcess companion;
        if (c.program == Program::Recorder) {
            ASSERT_NO_FATAL_FAILURE(PlaceRecorder(program));
        } else if (IsStandIn(c.program)) {
            ASSERT_TRUE(::CopyFileW(testenv::BinFile(L"standins\\TarnwellPlus.exe").c_str(), program.c_str(), FALSE));
            ASSERT_TRUE(companion.Start(L"\"" + program + L"\"" + StandInArgs(c.program)));
            ASSERT_NE(probe::WaitForTopWindow(companion.Pid(), "TTarnwellPlusHost", nullptr, kLaunchMs), nullptr)
                << c.name << ": the companion stand-in showed no window";
        }

        const long before = starts.Total();
        ASSERT_GE(before, 0) << c.name << ": the job's count is unreadable, error " << ::GetLastError();
        EXPECT_EQ(dlg.RefreshCompanion(), c.result) << c.name;
        const long started = starts.Total() - before;
        const std::string expected = c.companion != nullptr ? testenv::Narrow(dir + L"\\" + c.companion) : "";
        EXPECT_EQ(std::string(g_szCompanionExe), expected) << c.name;
        if (c.value != nullptr) {
            EXPECT_EQ(std::wstring(g_szUninstallValue), dir + L"\\" + c.value) << c.name;
        }

        const bool launched = c.result == 1;
        // Only the derived companion is started, only when the refresh says so, and only when
        // there is a file to start.
        EXPECT_EQ(started, launched && c.program != Program::NoFile ? 1 : 0) << c.name << ": programs started";
        if (launched) {
            // As the update does before it writes the companion's row.
            const ULONGLONG start = ::GetTickCount64();
            const bool released = suite::WaitForCompanionRelease(g_szCompanionExe, c.release.budgetMs);
            const ULONGLONG elapsed = ::GetTickCount64() - start;
            EXPECT_EQ(released, c.release.released) << c.name << ": after " << elapsed << " ms";
            EXPECT_TRUE(elapsed >= c.release.atLeastMs && elapsed < c.release.underMs)
                << c.name << ": waited " << elapsed << " ms, expected " << c.release.atLeastMs << " to "
                << c.release.underMs;
        }
        if (c.program == Program::Recorder) {
            // Nothing started (counted above) leaves no record to wait for.
            const std::wstring record = WaitForRecord(program, launched ? kLaunchMs : 0);
            EXPECT_EQ(testenv::Narrow(record), launched ? "arg=-q\nshow=0\n" : "") << c.name;
        } else if (launched && c.release.released && IsStandIn(c.program)) {
            // Released means ended: nothing runs from the file any more.
            EXPECT_TRUE(companion.Wait(0)) << c.name << ": the running companion did not quit";
            EXPECT_EQ(companion.ExitCode(), 0u) << c.name;
        } else if (IsStandIn(c.program)) {
            EXPECT_TRUE(companion.Running()) << c.name << ": the running companion quit";
        }
        EXPECT_EQ(testenv::Narrow(WaitForRecord(stale, 0)), "") << c.name << ": the stale path was started";
    }
    hive.DeleteKey(L"Software\\Ostrel");
}

}  // namespace

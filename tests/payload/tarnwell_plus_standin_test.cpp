// TarnwellPlus.exe, the stand-in companion: a running instance quits when the program is
// started again with "-q", and only then.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "test_env.h"
#include "window_probe.h"

namespace standins {
namespace {

// Upper bounds for things that normally take milliseconds; a Wine process start can take
// seconds on a busy machine. Only a broken stand-in ever waits this long.
constexpr DWORD kStartupMs = 20000;
constexpr DWORD kExitMs = 10000;
constexpr char kHostClass[] = "TTarnwellPlusHost";
constexpr wchar_t kTarnwellPlusExe[] = L"standins\\TarnwellPlus.exe";
// How long a running instance must stay up after a second start without "-q".
constexpr DWORD kStaysUpForMs = 1500;

TEST(TarnwellPlusStandin, SecondStartWithQuitSwitchEndsTheRunningInstance) {
    struct Case {
        const wchar_t* secondArguments;
        bool quits;
    };
    const Case cases[] = {
        {L"-q", true},
        {L"", false},
        {L"-quit", false},
        {L"-q extra", false},
    };
    for (const Case& c : cases) {
        const std::string name = "second start with \"" + testenv::Narrow(c.secondArguments) + "\"";
        // A copy of its own, so that the file can be deleted once both instances have ended.
        const std::wstring folder = testenv::FreshDir(L"standins-tarnwellplus");
        ASSERT_TRUE(testenv::FileExists(folder)) << name;
        const std::wstring exe = folder + L"\\TarnwellPlus.exe";
        ASSERT_TRUE(::CopyFileW(testenv::BinFile(kTarnwellPlusExe).c_str(), exe.c_str(), FALSE))
            << name << ": CopyFile error " << ::GetLastError();

        testenv::ChildProcess running;
        ASSERT_TRUE(running.Start(L"\"" + exe + L"\"")) << name << ": CreateProcess error " << ::GetLastError();
        ASSERT_NE(probe::WaitForTopWindow(running.Pid(), kHostClass, nullptr, kStartupMs), nullptr)
            << name << ": first instance has no window; exit code " << running.ExitCode();

        testenv::ChildProcess second;
        ASSERT_TRUE(second.Start(L"\"" + exe + L"\" " + c.secondArguments))
            << name << ": CreateProcess error " << ::GetLastError();
        if (c.quits) {
            EXPECT_TRUE(second.Wait(kExitMs)) << name << ": the quitting instance did not exit";
            EXPECT_EQ(second.ExitCode(), 0u) << name;
            EXPECT_TRUE(running.Wait(kExitMs)) << name << ": the running instance did not quit";
            EXPECT_EQ(running.ExitCode(), 0u) << name;
            EXPECT_TRUE(::DeleteFileW(exe.c_str())) << name << ": exe not released, error " << ::GetLastError();
            continue;
        }
        // Once the second instance runs with its own window it has passed its argument check.
        ASSERT_NE(probe::WaitForTopWindow(second.Pid(), kHostClass, nullptr, kStartupMs), nullptr)
            << name << ": second instance exit code " << second.ExitCode();
        EXPECT_FALSE(running.Wait(kStaysUpForMs))
            << name << ": the running instance quit, exit code " << running.ExitCode();
    }
}

TEST(TarnwellPlusStandin, QuitSwitchWithNothingRunningJustExits) {
    testenv::ChildProcess quitter;
    ASSERT_TRUE(quitter.Start(L"\"" + testenv::BinFile(kTarnwellPlusExe) + L"\" -q")) << ::GetLastError();
    EXPECT_TRUE(quitter.Wait(kExitMs));
    EXPECT_EQ(quitter.ExitCode(), 0u);
}

}  // namespace
}  // namespace standins

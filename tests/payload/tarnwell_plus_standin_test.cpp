// TarnwellPlus.exe, the stand-in companion: a running instance quits when the program is
// started again with "-q", and only then.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "standin_env.h"
#include "standin_process.h"

namespace standins {
namespace {

constexpr wchar_t kHostClass[] = L"TTarnwellPlusHost";
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
        const std::string name = "second start with \"" + Narrow(c.secondArguments) + "\"";
        ScratchFolder folder(L"tarnwellplus");
        ASSERT_TRUE(folder.ok()) << name;
        const std::wstring exe = folder.CopyIn(StandinFile(L"TarnwellPlus.exe"), L"TarnwellPlus.exe");
        ASSERT_FALSE(exe.empty()) << name;

        ChildProcess running;
        ASSERT_TRUE(running.Start(exe, L"")) << name << ": CreateProcess error " << running.error();
        ASSERT_NE(running.WaitForWindow(kHostClass, nullptr, kStartupMs), nullptr)
            << name << ": first instance has no window; exit code " << running.ExitCode();

        ChildProcess second;
        ASSERT_TRUE(second.Start(exe, c.secondArguments)) << name << ": CreateProcess error " << second.error();
        if (c.quits) {
            EXPECT_TRUE(second.WaitForExit(kExitMs)) << name << ": the quitting instance did not exit";
            EXPECT_EQ(second.ExitCode(), 0u) << name;
            EXPECT_TRUE(running.WaitForExit(kExitMs)) << name << ": the running instance did not quit";
            EXPECT_EQ(running.ExitCode(), 0u) << name;
            EXPECT_TRUE(::DeleteFileW(exe.c_str())) << name << ": exe not released, error " << ::GetLastError();
            continue;
        }
        // Once the second instance runs with its own window it has passed its argument check.
        ASSERT_NE(second.WaitForWindow(kHostClass, nullptr, kStartupMs), nullptr)
            << name << ": second instance exit code " << second.ExitCode();
        EXPECT_FALSE(running.WaitForExit(kStaysUpForMs))
            << name << ": the running instance quit, exit code " << running.ExitCode();
    }
}

TEST(TarnwellPlusStandin, QuitSwitchWithNothingRunningJustExits) {
    ChildProcess quitter;
    ASSERT_TRUE(quitter.Start(StandinFile(L"TarnwellPlus.exe"), L"-q")) << quitter.error();
    EXPECT_TRUE(quitter.WaitForExit(kExitMs));
    EXPECT_EQ(quitter.ExitCode(), 0u);
}

}  // namespace
}  // namespace standins

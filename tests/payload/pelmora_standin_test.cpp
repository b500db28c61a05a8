// Pelmora.exe, the stand-in product: its windows, and how it answers the updater's close
// request (message 0x480) with and without --ignore-close.
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
constexpr UINT kCloseRequest = 0x480;
// How long a product told to ignore 0x480 must stay up after it, to show that it does.
constexpr DWORD kIgnoredForMs = 1500;

constexpr wchar_t kPelmoraExe[] = L"standins\\Pelmora.exe";

TEST(PelmoraStandin, EachModeShowsItsTopLevelWindow) {
    struct Case {
        const wchar_t* arguments;
        const char* className;
        const char* title;
    };
    const Case cases[] = {
        {L"", "TMainForm", "Pelmora"},
        {L"--ignore-close", "TMainForm", "Pelmora"},
        {L"--sibling", "TPelmoraSibling", "Pelmora sibling"},
    };
    for (const Case& c : cases) {
        const std::string name = "Pelmora.exe " + testenv::Narrow(c.arguments);
        testenv::ChildProcess product;
        ASSERT_TRUE(product.Start(L"\"" + testenv::BinFile(kPelmoraExe) + L"\" " + c.arguments))
            << name << ": CreateProcess error " << ::GetLastError();
        HWND window = probe::WaitForTopWindow(product.Pid(), c.className, c.title, kStartupMs);
        ASSERT_NE(window, nullptr) << name << ": no window of class " << c.className << " titled " << c.title
                                   << "; process exit code " << product.ExitCode();
        // The updater looks for the product by class and title, from another process.
        HWND found = ::FindWindowA(c.className, c.title);
        EXPECT_NE(found, nullptr) << name;
        EXPECT_EQ(probe::ClassName(window), c.className) << name;
        EXPECT_EQ(probe::WindowText(window), c.title) << name;
        // Found as soon as it exists; shown right after that.
        EXPECT_TRUE(probe::WaitForWindowVisible(window, kStartupMs)) << name << ": never shown";
        EXPECT_EQ(::GetParent(window), nullptr) << name << ": not a top-level window";
    }
}

TEST(PelmoraStandin, CloseRequestEndsTheProductUnlessItIgnoresIt) {
    struct Case {
        const wchar_t* arguments;
        bool exits;
    };
    const Case cases[] = {
        {L"", true},
        {L"--ignore-close", false},
    };
    for (const Case& c : cases) {
        const std::string name = "Pelmora.exe " + testenv::Narrow(c.arguments);
        // A copy of its own, so that the file can be deleted once the product has ended.
        const std::wstring folder = testenv::FreshDir(L"standins-pelmora");
        ASSERT_TRUE(testenv::FileExists(folder)) << name;
        const std::wstring exe = folder + L"\\Pelmora.exe";
        ASSERT_TRUE(::CopyFileW(testenv::BinFile(kPelmoraExe).c_str(), exe.c_str(), FALSE))
            << name << ": CopyFile error " << ::GetLastError();
        testenv::ChildProcess product;
        ASSERT_TRUE(product.Start(L"\"" + exe + L"\" " + c.arguments))
            << name << ": CreateProcess error " << ::GetLastError();
        HWND window = probe::WaitForTopWindow(product.Pid(), "TMainForm", "Pelmora", kStartupMs);
        ASSERT_NE(window, nullptr) << name << ": exit code " << product.ExitCode();

        ASSERT_TRUE(::PostMessageW(window, kCloseRequest, 0, 0)) << name;
        if (c.exits) {
            EXPECT_TRUE(product.Wait(kExitMs)) << name << ": still running after 0x480";
            EXPECT_EQ(product.ExitCode(), 0u) << name;
            // Its file is released for the updater to overwrite.
            EXPECT_TRUE(::DeleteFileW(exe.c_str())) << name << ": DeleteFile error " << ::GetLastError();
            continue;
        }
        EXPECT_FALSE(product.Wait(kIgnoredForMs))
            << name << ": ended after 0x480 with exit code " << product.ExitCode();
        EXPECT_TRUE(::IsWindow(window)) << name << ": window gone after 0x480";
        // The updater's last resort works on it.
        product.Terminate();
        EXPECT_TRUE(product.Wait(kExitMs)) << name << ": survived TerminateProcess";
    }
}

TEST(PelmoraStandin, SiblingClosesOnWmClose) {
    testenv::ChildProcess sibling;
    ASSERT_TRUE(sibling.Start(L"\"" + testenv::BinFile(kPelmoraExe) + L"\" --sibling")) << ::GetLastError();
    HWND window = probe::WaitForTopWindow(sibling.Pid(), "TPelmoraSibling", nullptr, kStartupMs);
    ASSERT_NE(window, nullptr) << "exit code " << sibling.ExitCode();
    ASSERT_TRUE(::PostMessageW(window, WM_CLOSE, 0, 0));
    EXPECT_TRUE(sibling.Wait(kExitMs));
    EXPECT_EQ(sibling.ExitCode(), 0u);
}

}  // namespace
}  // namespace standins

// Pelmora.exe, the stand-in product: its windows, and how it answers the updater's close
// request (message 0x480) with and without --ignore-close.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "standin_env.h"
#include "standin_process.h"

namespace standins {
namespace {

constexpr UINT kCloseRequest = 0x480;
// How long a product told to ignore 0x480 must stay up after it, to show that it does.
constexpr DWORD kIgnoredForMs = 1500;

TEST(PelmoraStandin, EachModeShowsItsTopLevelWindow) {
    struct Case {
        const wchar_t* arguments;
        const wchar_t* className;
        const wchar_t* title;
    };
    const Case cases[] = {
        {L"", L"TMainForm", L"Pelmora"},
        {L"--ignore-close", L"TMainForm", L"Pelmora"},
        {L"--sibling", L"TPelmoraSibling", L"Pelmora sibling"},
    };
    for (const Case& c : cases) {
        const std::string name = "Pelmora.exe " + Narrow(c.arguments);
        ChildProcess product;
        ASSERT_TRUE(product.Start(StandinFile(L"Pelmora.exe"), c.arguments))
            << name << ": CreateProcess error " << product.error();
        HWND window = product.WaitForWindow(c.className, c.title, kStartupMs);
        ASSERT_NE(window, nullptr) << name << ": no window of class " << Narrow(c.className) << " titled "
                                   << Narrow(c.title) << "; process exit code " << product.ExitCode();
        // The updater looks for the product by class and title, from another process.
        HWND found = ::FindWindowW(c.className, c.title);
        EXPECT_NE(found, nullptr) << name;
        EXPECT_EQ(ClassOf(window), Narrow(c.className)) << name;
        EXPECT_EQ(TitleOf(window), Narrow(c.title)) << name;
        // Found as soon as it exists; shown right after that.
        EXPECT_TRUE(WaitUntilVisible(window, kStartupMs)) << name << ": never shown";
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
        const std::string name = "Pelmora.exe " + Narrow(c.arguments);
        ScratchFolder folder(L"pelmora");
        ASSERT_TRUE(folder.ok()) << name;
        const std::wstring exe = folder.CopyIn(StandinFile(L"Pelmora.exe"), L"Pelmora.exe");
        ASSERT_FALSE(exe.empty()) << name;
        ChildProcess product;
        ASSERT_TRUE(product.Start(exe, c.arguments)) << name << ": CreateProcess error " << product.error();
        HWND window = product.WaitForWindow(L"TMainForm", L"Pelmora", kStartupMs);
        ASSERT_NE(window, nullptr) << name << ": exit code " << product.ExitCode();

        ASSERT_TRUE(::PostMessageW(window, kCloseRequest, 0, 0)) << name;
        if (c.exits) {
            EXPECT_TRUE(product.WaitForExit(kExitMs)) << name << ": still running after 0x480";
            EXPECT_EQ(product.ExitCode(), 0u) << name;
            // Its file is released for the updater to overwrite.
            EXPECT_TRUE(::DeleteFileW(exe.c_str())) << name << ": DeleteFile error " << ::GetLastError();
            continue;
        }
        EXPECT_FALSE(product.WaitForExit(kIgnoredForMs))
            << name << ": ended after 0x480 with exit code " << product.ExitCode();
        EXPECT_TRUE(::IsWindow(window)) << name << ": window gone after 0x480";
        // The updater's last resort works on it.
        product.Terminate();
        EXPECT_TRUE(product.WaitForExit(kExitMs)) << name << ": survived TerminateProcess";
    }
}

TEST(PelmoraStandin, SiblingClosesOnWmClose) {
    ChildProcess sibling;
    ASSERT_TRUE(sibling.Start(StandinFile(L"Pelmora.exe"), L"--sibling")) << sibling.error();
    HWND window = sibling.WaitForWindow(L"TPelmoraSibling", nullptr, kStartupMs);
    ASSERT_NE(window, nullptr) << "exit code " << sibling.ExitCode();
    ASSERT_TRUE(::PostMessageW(window, WM_CLOSE, 0, 0));
    EXPECT_TRUE(sibling.WaitForExit(kExitMs));
    EXPECT_EQ(sibling.ExitCode(), 0u);
}

}  // namespace
}  // namespace standins

#include <gtest/gtest.h>

#include <string>

#include "demo_install.h"
#include "res/resource.h"
#include "update/update_result.h"
#include "updater_run.h"
#include "window_probe.h"

namespace {

// With no installation, a silent run ends at once with "unsupported"; the dialog waits.
TEST(CommandLine, OnlyTheExactSwitchRunsSilently) {
    struct Case {
        const char* name;
        std::wstring arguments;  // what follows the quoted program path
        bool silent;
    } cases[] = {
        {"switch", L" -s", true},
        {"several blanks", L"    -s", true},
        {"tab", L"\t-s", true},
        {"capital", L" -S", false},
        {"slash", L" /s", false},
        {"double hyphen", L" --s", false},
        {"trailing blank", L" -s ", false},
        {"further argument", L" -s x", false},
        {"empty tail", L"", false},
    };
    demo::RemoveSuiteRegistry();
    for (const Case& c : cases) {
        testenv::ChildProcess updater;
        ASSERT_TRUE(e2e::StartUpdater(&updater, c.arguments)) << c.name;
        HWND dlg = nullptr;
        DWORD start = ::GetTickCount();
        while (dlg == nullptr && !updater.Wait(20) && ::GetTickCount() - start < 15000) {
            dlg = probe::FindTopWindow(updater.Pid(), "#32770", "Ostrel Pelmora update");
        }
        EXPECT_EQ(c.silent, dlg == nullptr) << c.name;
        if (dlg != nullptr) probe::PostClick(dlg, IDC_CANCEL_BTN);
        ASSERT_TRUE(updater.Wait(15000)) << c.name;
        EXPECT_EQ(c.silent ? kUpdateUnsupported : kUpdateDeclined, static_cast<int>(updater.ExitCode())) << c.name;
    }
}

}  // namespace

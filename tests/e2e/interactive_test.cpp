#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "demo_install.h"
#include "res/resource.h"
#include "same_files.h"
#include "update/catalogue.h"
#include "update/update_result.h"
#include "updater_run.h"
#include "unwritable_files.h"
#include "window_probe.h"

namespace {

const std::wstring kRoot = L"C:\\halvern-tests\\e2e-ui\\Pelmora";
const char kTitle[] = "Ostrel Pelmora update";
const char kFinished[] =
    "Pelmora update installation is finished. The settings are applied at the next Pelmora launch. "
    "Click DONE to exit the process.";
const char kFinishedRestart[] =
    "Pelmora update installation is finished. Restart Windows to complete it: click Reboot to restart now, "
    "or DONE to exit the process.";
const char kUnsupported[] = "Your system cannot support Pelmora update. Click Cancel to exit the installation.";

// The dialog as a person sees it after pressing YES (or nothing).
struct Outcome {
    std::string message;
    bool yesVisible = false, yesEnabled = false;
    bool cancelVisible = false, cancelEnabled = false;
    bool exitVisible = false;
    std::string exitCaption;
    bool rebootVisible = false;
    bool sawUpdating = false;
    probe::MessageBoxInfo box;
    bool boxShown = false;
};

Outcome Read(HWND dlg) {
    Outcome o;
    o.message = probe::ControlText(dlg, IDC_MESSAGE_TEXT);
    o.yesVisible = probe::ControlVisible(dlg, IDC_YES);
    o.yesEnabled = probe::ControlEnabled(dlg, IDC_YES);
    o.cancelVisible = probe::ControlVisible(dlg, IDC_CANCEL_BTN);
    o.cancelEnabled = probe::ControlEnabled(dlg, IDC_CANCEL_BTN);
    o.exitVisible = probe::ControlVisible(dlg, IDC_EXIT);
    o.exitCaption = probe::ControlText(dlg, IDC_EXIT);
    o.rebootVisible = probe::ControlVisible(dlg, IDC_REBOOT);
    return o;
}

// Presses YES and waits until the dialog shows an outcome or a message box appears (which is
// answered); then reads the dialog.
Outcome PressYes(HWND dlg, DWORD pid) {
    probe::PostClick(dlg, IDC_YES);
    bool sawUpdating = false;
    probe::MessageBoxInfo box;
    bool boxShown = false;
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 60000;) {
        ::Sleep(20);
        if ((boxShown = probe::WaitForMessageBox(pid, 0, &box))) break;
        std::string text = probe::ControlText(dlg, IDC_MESSAGE_TEXT);
        sawUpdating = sawUpdating || text == "Updating...";
        if (text == kFinished || text == kFinishedRestart || text == kUnsupported) break;
    }
    if (boxShown) probe::AnswerMessageBox(box.hwnd);
    ::Sleep(100);
    Outcome o = Read(dlg);
    o.sawUpdating = sawUpdating || o.message == "Updating...";
    o.boxShown = boxShown;
    o.box = box;
    return o;
}

TEST(InteractiveUpdate, YesLeadsToTheStateTheInstallationCallsFor) {
    struct Case {
        const char* name;
        std::wstring version;
        // Pelmora.exe held by another process: as a running program holds it (replaced, the
        // rest at the next restart), or made immutable (its row cannot be created).
        enum { kFree, kInUse, kImmutable } product;
        std::string message;
        bool updating;
        bool exitVisible;
        DWORD exitCode;
    } cases[] = {
        {"updatable", L"1.02.00", Case::kFree, kFinished, true, true, kUpdateSucceeded},
        {"already current", L"2.00.00", Case::kFree, kFinished, false, true, kUpdateAlreadyCurrent},
        {"too old", L"1.01.99", Case::kFree, kUnsupported, false, true, kUpdateUnsupported},
        {"product in use", L"1.02.00", Case::kInUse, kFinishedRestart, true, true, kUpdateRestartRequired},
        {"product row fails", L"1.02.00", Case::kImmutable, "Updating...", true, false, kUpdateIncomplete},
    };
    for (const Case& c : cases) {
        demo::Installation install;
        demo::Options options;
        options.root = kRoot;
        options.version = c.version;
        options.runProduct = c.product == Case::kFree;
        ASSERT_TRUE(install.Create(options)) << c.name;
        std::unique_ptr<testenv::HeldByOtherProcess> held;
        std::unique_ptr<testenv::Immutable> immutable;
        if (c.product == Case::kInUse) {
            held.reset(new testenv::HeldByOtherProcess(kRoot + L"\\Pelmora.exe", true));
            ASSERT_TRUE(held->ok()) << c.name;
        } else if (c.product == Case::kImmutable) {
            immutable.reset(new testenv::Immutable(kRoot + L"\\Pelmora.exe"));
            ASSERT_TRUE(immutable->ok()) << c.name;
        }
        testenv::ChildProcess updater;
        ASSERT_TRUE(e2e::StartUpdater(&updater, L""));
        HWND dlg = probe::WaitForTopWindow(updater.Pid(), "#32770", kTitle, 15000);
        ASSERT_NE(nullptr, dlg) << c.name;

        Outcome o = PressYes(dlg, updater.Pid());
        EXPECT_EQ(c.message, o.message) << c.name;
        EXPECT_EQ(c.updating, o.sawUpdating) << c.name << ": \"Updating...\" shown";
        EXPECT_FALSE(o.yesVisible && o.yesEnabled) << c.name << ": YES can be pressed only once";
        EXPECT_FALSE(o.cancelVisible && o.cancelEnabled) << c.name;
        EXPECT_EQ(c.exitVisible, o.exitVisible) << c.name;
        EXPECT_EQ(c.exitCode == kUpdateRestartRequired, o.rebootVisible) << c.name << ": Reboot shown";
        if (c.product == Case::kImmutable) {
            ASSERT_TRUE(o.boxShown) << c.name;
            EXPECT_EQ("Can not create Pelmora.exe !", o.box.text) << c.name;
            EXPECT_EQ(kTitle, o.box.caption) << c.name;
            EXPECT_TRUE(o.box.exclamationIcon) << c.name;
            EXPECT_EQ(dlg, o.box.owner) << c.name;
            EXPECT_TRUE(o.yesVisible && !o.yesEnabled) << c.name;
            EXPECT_TRUE(o.cancelVisible && !o.cancelEnabled) << c.name;
            ::PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box still ends it
        } else {
            EXPECT_FALSE(o.boxShown) << c.name << ": " << o.box.text;
            EXPECT_EQ(c.message == kUnsupported ? "Cancel" : "DONE", o.exitCaption) << c.name;
            probe::PostClick(dlg, IDC_EXIT);
        }
        ASSERT_TRUE(updater.Wait(15000)) << c.name << ": the dialog did not end";
        EXPECT_EQ(c.exitCode, updater.ExitCode()) << c.name;
    }
}

TEST(InteractiveUpdate, CancelInReadyTouchesNothing) {
    demo::Installation install;
    demo::Options options;
    options.root = kRoot;
    ASSERT_TRUE(install.Create(options));
    auto before = e2e::Snapshot(kRoot);
    testenv::ChildProcess updater;
    ASSERT_TRUE(e2e::StartUpdater(&updater, L""));
    HWND dlg = probe::WaitForTopWindow(updater.Pid(), "#32770", kTitle, 15000);
    ASSERT_NE(nullptr, dlg);
    probe::PostClick(dlg, IDC_CANCEL_BTN);
    ASSERT_TRUE(updater.Wait(15000));
    EXPECT_EQ(static_cast<DWORD>(kUpdateDeclined), updater.ExitCode());
    EXPECT_TRUE(testenv::SameFiles(before, e2e::Snapshot(kRoot)));
    EXPECT_TRUE(install.Product().Running());
    EXPECT_TRUE(install.Companion().Running());
}

// An installation on a drive that fills up during the update (D: of the test prefix is a small
// drive of its own): in both run modes every file ends up whole, either its old bytes or its
// new ones, and nothing is left beside them.
TEST(FullDisk, EveryFileIsLeftOldOrNewAndNothingElseAppears) {
    const std::wstring drive = L"D:", root = L"D:\\Pelmora";
    ULARGE_INTEGER size = {};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"D:\\", nullptr, &size, nullptr) && size.QuadPart < (64u << 20))
        << "D: must be the test run's own small drive";
    for (bool silent : {true, false}) {
        const char* mode = silent ? "silent" : "interactive";
        testenv::RemoveTree(drive + L"\\filler");
        demo::Installation install;
        demo::Options options;
        options.root = root;
        options.runProduct = options.runCompanion = false;
        ASSERT_TRUE(install.Create(options)) << mode;

        // Every file of the old version is there, and there is room for about half of what the new
        // ones add.
        std::map<std::wstring, int> rowOf;
        ULONGLONG needed = 0;
        for (int n = 1; n <= PayloadCatalogue::Count(); ++n) {
            std::wstring target = e2e::RowTarget(n, root, install.CompanionExe());
            if (target.compare(0, 2, drive) != 0) continue;
            if (!testenv::FileExists(target)) {
                ASSERT_TRUE(testenv::WriteFileBytes(target, "old " + std::to_string(n)));
            }
            std::string oldBytes;
            ASSERT_TRUE(testenv::ReadFileBytes(target, &oldBytes));
            rowOf[target] = n;
            needed += e2e::RowResource(n).size() - std::min<ULONGLONG>(oldBytes.size(), e2e::RowResource(n).size());
        }
        ULARGE_INTEGER free = {};
        ASSERT_TRUE(::GetDiskFreeSpaceExW(L"D:\\", &free, nullptr, nullptr));
        ASSERT_GT(free.QuadPart, needed / 2) << mode;
        ASSERT_TRUE(testenv::WriteFileBytes(drive + L"\\filler", std::string(free.QuadPart - needed / 2, 'f')));
        const auto before = e2e::Snapshot(drive);

        DWORD exitCode = 0;
        if (silent) {
            e2e::SilentRun run = e2e::RunSilent();
            ASSERT_TRUE(run.ended) << mode;
            exitCode = run.exitCode;
        } else {
            testenv::ChildProcess updater;
            ASSERT_TRUE(e2e::StartUpdater(&updater, L""));
            HWND dlg = probe::WaitForTopWindow(updater.Pid(), "#32770", kTitle, 15000);
            ASSERT_NE(nullptr, dlg);
            Outcome o = PressYes(dlg, updater.Pid());
            EXPECT_TRUE(o.boxShown) << mode << ": the failure is reported; the dialog says " << o.message;
            ::PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
            ASSERT_TRUE(updater.Wait(15000)) << mode;
            exitCode = updater.ExitCode();
        }
        EXPECT_EQ(static_cast<DWORD>(kUpdateIncomplete), exitCode) << mode;

        const std::map<std::wstring, std::string> old(before.begin(), before.end());
        const auto after = e2e::Snapshot(drive);
        const std::map<std::wstring, std::string> now(after.begin(), after.end());
        for (const auto& file : before) {
            if (now.count(file.first) == 0) ADD_FAILURE() << mode << ": " << testenv::Narrow(file.first) << " went";
        }
        int written = 0, kept = 0;
        for (const auto& [path, bytes] : after) {
            auto was = old.find(path);
            if (was == old.end()) {
                ADD_FAILURE() << mode << ": " << testenv::Narrow(path) << " was not there before";
            } else if (bytes == was->second) {
                if (rowOf.count(path) != 0) ++kept;
            } else if (rowOf.count(path) != 0 && bytes == e2e::RowResource(rowOf[path])) {
                ++written;
            } else {
                ADD_FAILURE() << mode << ": " << testenv::Narrow(path) << " is neither old nor new, " << bytes.size()
                              << " bytes";
            }
        }
        EXPECT_GT(written, 0) << mode;
        EXPECT_GT(kept, 0) << mode;
    }
    testenv::RemoveTree(drive + L"\\filler");
}

}  // namespace

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "demo_install.h"
#include "res/resource.h"
#include "same_files.h"
#include "update/catalogue.h"
#include "update/update_result.h"
#include "updater_run.h"
#include "unwritable_files.h"
#include "window_probe.h"

namespace {

const std::wstring kRoot = L"C:\\halvern-tests\\e2e-log\\Pelmora";
const std::wstring kLogs = L"C:\\halvern-tests\\e2e-log\\logs";
const std::wstring kLog = kLogs + L"\\update.log";

// Opens the dialog and closes it with Cancel; the exit code.
DWORD CancelTheDialog() {
    testenv::ChildProcess updater;
    if (!e2e::StartUpdater(&updater, L"")) return 0;
    HWND dlg = probe::WaitForTopWindow(updater.Pid(), "#32770", "Ostrel Pelmora update", 15000);
    if (dlg == nullptr) return 0;
    probe::PostClick(dlg, IDC_CANCEL_BTN);
    return updater.Wait(15000) ? updater.ExitCode() : 0;
}

// The first line of `block` that is not "YYYY-MM-DD hh:mm:ss.mmm text" CR LF; empty when all are.
std::string FirstMalformedLine(const std::string& block) {
    const std::string stamp = "0000-00-00 00:00:00.000 ";
    for (size_t start = 0, end; start < block.size(); start = end + 2) {
        end = block.find("\r\n", start);
        if (end == std::string::npos) return block.substr(start) + " (no CR LF)";
        const std::string line = block.substr(start, end - start);
        for (size_t i = 0; i < stamp.size(); ++i) {
            const bool digit = line.size() > i && line[i] >= '0' && line[i] <= '9';
            if (line.size() <= i || (stamp[i] == '0' ? !digit : line[i] != stamp[i])) return line;
        }
        if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) return line;
    }
    return {};
}

TEST(RunLog, RecordsTheRunWhereThePolicyNamesAFileAndNothingElseChanges) {
    const std::wstring cover = kRoot + L"\\resource\\cover";
    enum Setup { kNothing, kEarlierRun, kLockedCover, kCoverInUse, kHardLink, kOversized };
    struct Case {
        const char* name;
        std::wstring policy;  // the LogFile value; empty: no policy
        DWORD type;
        Setup setup;
        bool cancel;  // the dialog closed with Cancel; otherwise a silent run
        DWORD exitCode;
        bool logged;  // a block is appended to kLog; otherwise nothing below kLogs changes
    } cases[] = {
        {"policy absent", L"", REG_SZ, kNothing, false, kUpdateSucceeded, false},
        {"complete run, product and companion running", kLog, REG_SZ, kEarlierRun, false, kUpdateSucceeded, true},
        {"a target that cannot be written, path with a variable",
         L"%SystemDrive%\\halvern-tests\\e2e-log\\logs\\update.log", REG_EXPAND_SZ, kLockedCover, false,
         kUpdateIncomplete, true},
        {"a target in use", kLog, REG_SZ, kCoverInUse, false, kUpdateRestartRequired, true},
        {"hard link planted at the log path", kLog, REG_SZ, kHardLink, false, kUpdateSucceeded, false},
        {"log folder missing", kLogs + L"\\missing\\update.log", REG_SZ, kNothing, false, kUpdateSucceeded, false},
        {"log over 1 MiB", kLog, REG_SZ, kOversized, false, kUpdateSucceeded, true},
        {"interactive Cancel", kLog, REG_SZ, kNothing, true, kUpdateDeclined, true},
    };
    for (const Case& c : cases) {
        demo::Installation install;
        demo::Options options;
        options.root = kRoot;
        options.runProduct = options.runCompanion = c.setup == kEarlierRun;
        ASSERT_TRUE(install.Create(options)) << c.name;
        e2e::RemoveDrivers();
        testenv::FreshDir(L"e2e-log\\logs");
        ASSERT_TRUE(demo::SetRunLogPolicy(c.policy, c.type)) << c.name;

        std::string earlier;  // what the log holds before the run
        if (c.setup == kEarlierRun) earlier = "an earlier run's line\r\n";
        if (c.setup == kOversized) earlier = std::string((1 << 20) + 1, 'x');
        if (!earlier.empty()) {
            ASSERT_TRUE(testenv::WriteFileBytes(kLog, earlier)) << c.name;
        }
        if (c.setup == kOversized) {
            ASSERT_TRUE(testenv::WriteFileBytes(kLog + L".old", "the oldest\r\n")) << c.name;
        }
        if (c.setup == kHardLink) {
            ASSERT_TRUE(testenv::WriteFileBytes(kLogs + L"\\elsewhere.txt", "another file\r\n")) << c.name;
            ASSERT_TRUE(::CreateHardLinkW(kLog.c_str(), (kLogs + L"\\elsewhere.txt").c_str(), nullptr)) << c.name;
        }
        std::unique_ptr<testenv::Immutable> locked;
        if (c.setup == kLockedCover) {
            ::DeleteFileW((cover + L"\\cover.png").c_str());
            locked.reset(new testenv::Immutable(cover));
            ASSERT_TRUE(locked->ok()) << c.name;
        }
        std::unique_ptr<testenv::HeldByOtherProcess> held;
        if (c.setup == kCoverInUse) {
            held.reset(new testenv::HeldByOtherProcess(cover + L"\\cover.png", true));
            ASSERT_TRUE(held->ok()) << c.name;
        }
        const auto before = e2e::Snapshot(kLogs);

        const DWORD exitCode = c.cancel ? CancelTheDialog() : e2e::RunSilent().exitCode;
        locked.reset();
        held.reset();
        EXPECT_TRUE(demo::SetRunLogPolicy(L"")) << c.name;
        EXPECT_EQ(c.exitCode, exitCode) << c.name;
        const std::vector<int> missing = e2e::RowsNotWritten(kRoot, install.CompanionExe());
        if (c.exitCode == kUpdateSucceeded || c.exitCode == kUpdateRestartRequired) {
            EXPECT_TRUE(missing.empty()) << c.name << ": " << missing.size() << " rows not written";
        }
        if (!c.logged) {
            EXPECT_TRUE(testenv::SameFiles(before, e2e::Snapshot(kLogs))) << c.name;
            EXPECT_FALSE(testenv::FileExists(kLogs + L"\\missing")) << c.name;
            continue;
        }

        std::string bytes, old;
        ASSERT_TRUE(testenv::ReadFileBytes(kLog, &bytes)) << c.name;
        if (c.setup == kOversized) {
            EXPECT_TRUE(testenv::ReadFileBytes(kLog + L".old", &old) && old == earlier)
                << c.name << ": the old log is " << old.size() << " bytes";
            earlier.clear();
        }
        ASSERT_EQ(earlier, bytes.substr(0, earlier.size())) << c.name << ": what the log held is kept";
        const std::string block = bytes.substr(earlier.size());
        EXPECT_EQ("", FirstMalformedLine(block)) << c.name;

        // Row `n`'s line up to its outcome. A driver row names the path the updater opened: on
        // 64-bit Windows, as a 32-bit process, through Sysnative.
        wchar_t windows[MAX_PATH], system[MAX_PATH];
        ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
        ::GetSystemDirectoryW(system, MAX_PATH);
        const std::wstring driversBase = testenv::UpdaterUnderWow64() ? std::wstring(windows) + L"\\Sysnative" : system;
        auto row = [&](int n) {
            const PayloadEntry& entry = PayloadCatalogue::Row(n);
            const std::string target =
                testenv::Narrow(entry.base == PayloadBase::SystemDir ? driversBase + entry.relativePath
                                                                      : e2e::RowTarget(n, kRoot, install.CompanionExe()));
            return "row " + std::to_string(n) + ": " + target + " (" + std::to_string(e2e::RowResource(n).size()) +
                   " bytes): ";
        };
        std::vector<std::string> expected = {"==== exit code " + std::to_string(c.exitCode) + ": "};
        if (c.cancel) expected.push_back("run mode: interactive");
        if (c.setup == kEarlierRun) {
            expected.push_back("product: window found, asked to close; gone after ");
            expected.push_back("companion: executable derived: " + testenv::Narrow(install.CompanionExe()));
            for (int n : e2e::ReplacedRows(kRoot, install.CompanionExe())) expected.push_back(row(n) + "written\r\n");
            // The folder the drivers really went to, as the rest of the system names it.
            const size_t at = block.find("drivers folder: ");
            const std::string named = at == std::string::npos ? "" : block.substr(at + 16, block.find("\r\n", at) - at - 16);
            EXPECT_EQ(CSTR_EQUAL, ::CompareStringOrdinal(testenv::Widen(named).c_str(), -1,
                                                         (std::wstring(system) + L"\\Drivers").c_str(), -1, TRUE))
                << c.name << ": drivers folder \"" << named << "\"";
        }
        if (c.setup == kCoverInUse) {
            expected.push_back(row(62) + "written; the old file is in use: moved aside as " +
                               testenv::Narrow(cover) + "\\cover.png.~");
        }
        if (c.setup == kLockedCover) {
            for (int n : missing) expected.push_back(row(n) + "NOT written, error 5: ");
            EXPECT_EQ(1u, missing.size()) << c.name;
        }
        for (const std::string& line : expected) {
            EXPECT_NE(std::string::npos, block.find(line)) << c.name << ": no \"" << line << "\" in\n" << block;
        }
    }
}

}  // namespace

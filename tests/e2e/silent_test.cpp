#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "demo_install.h"
#include "pe_headers.h"
#include "same_files.h"
#include "update/catalogue.h"
#include "update/update_result.h"
#include "updater_run.h"
#include "unwritable_files.h"

namespace {

std::string List(const std::vector<int>& rows) {
    std::ostringstream out;
    for (int n : rows) out << n << ' ';
    return out.str();
}

std::wstring TempCopy() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"Quorvel.dll";
}

const std::wstring kRoot = L"C:\\halvern-tests\\e2e\\Pelmora";

TEST(SilentUpdate, WritesEveryRowStopsTheProductAndRefreshesTheCompanion) {
    demo::Installation install;
    ASSERT_TRUE(install.Create({kRoot}));
    e2e::RemoveDrivers();

    e2e::SilentRun run = e2e::RunSilent();
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(static_cast<DWORD>(kUpdateSucceeded), run.exitCode);
    EXPECT_FALSE(run.showedWindow);

    std::vector<int> missing = e2e::RowsNotWritten(kRoot, install.CompanionExe());
    EXPECT_TRUE(missing.empty()) << "rows not written: " << List(missing);
    EXPECT_FALSE(testenv::FileExists(TempCopy())) << "the temporary support library is deleted";
    EXPECT_TRUE(install.Product().Wait(5000)) << "the product was stopped";
    EXPECT_TRUE(install.Companion().Wait(5000)) << "the companion was asked to quit";

    // Where Windows loads them from, seen from the prefix's Unix side; never the redirected
    // system folder of a 32-bit process, whose Drivers folder a fresh 64-bit prefix lacks.
    const WORD machine = testenv::UpdaterUnderWow64() ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    for (const wchar_t* driver : {L"\\Tarnwell.sys", L"\\TarnwellPlus.sys"}) {
        const std::wstring path = e2e::DriversDir() + driver;
        testenv::PeHeaders pe;
        std::string error;
        EXPECT_TRUE(testenv::ReadPeHeaders(path, &pe, &error)) << testenv::Narrow(path) << ": " << error;
        EXPECT_EQ(machine, pe.machine) << testenv::Narrow(path) << " in the " << testenv::PrefixName() << " prefix";
        EXPECT_FALSE(testenv::FileExists(e2e::RedirectedDriversDir() + driver))
            << testenv::Narrow(e2e::RedirectedDriversDir() + driver) << " in the " << testenv::PrefixName() << " prefix";
    }
}

TEST(SilentUpdate, GatesThatSayNoChangeNothing) {
    struct Case {
        const char* name;
        demo::Options options;
        bool holdAppSetup;
        DWORD exitCode;
    };
    auto with = [](void (*change)(demo::Options&)) {
        demo::Options o;
        o.root = kRoot;
        change(o);
        return o;
    };
    Case cases[] = {
        {"version too old", with([](demo::Options& o) { o.version = L"1.01.99"; }), false, kUpdateUnsupported},
        {"already current", with([](demo::Options& o) { o.version = L"2.00.00"; }), false, kUpdateAlreadyCurrent},
        {"not installed", with([](demo::Options& o) { o.registerSuite = false; }), false, kUpdateUnsupported},
        {"no root path", with([](demo::Options& o) { o.rootPath = false; }), false, kUpdateUnsupported},
        {"AppSetup.ini missing", with([](demo::Options& o) { o.appSetup = false; }), false, kUpdateUnsupported},
        {"logo missing", with([](demo::Options& o) { o.logo = false; }), false, kUpdateUnsupported},
        {"AppSetup.ini held by another process", with([](demo::Options&) {}), true, kUpdateInProgress},
    };
    for (const Case& c : cases) {
        demo::Installation install;
        ASSERT_TRUE(install.Create(c.options)) << c.name;
        e2e::RemoveDrivers();
        auto before = e2e::Snapshot(kRoot);
        auto companionBefore = e2e::Snapshot(install.CompanionDir());
        std::unique_ptr<testenv::HeldByOtherProcess> held;
        if (c.holdAppSetup) {
            held.reset(new testenv::HeldByOtherProcess(kRoot + L"\\AppSetup.ini"));
            ASSERT_TRUE(held->ok()) << c.name;
        }

        e2e::SilentRun run = e2e::RunSilent();
        ASSERT_TRUE(run.ended) << c.name;
        EXPECT_EQ(c.exitCode, run.exitCode) << c.name;
        EXPECT_FALSE(run.showedWindow) << c.name;
        held.reset();
        EXPECT_TRUE(testenv::SameFiles(before, e2e::Snapshot(kRoot))) << c.name << ": the install directory changed";
        EXPECT_TRUE(testenv::SameFiles(companionBefore, e2e::Snapshot(install.CompanionDir())))
            << c.name << ": the companion changed";
        EXPECT_TRUE(install.Product().Running()) << c.name << ": the product was stopped";
        EXPECT_TRUE(install.Companion().Running()) << c.name << ": the companion was stopped";
        EXPECT_FALSE(testenv::FileExists(e2e::DriversDir() + L"\\Tarnwell.sys")) << c.name;
        EXPECT_FALSE(testenv::FileExists(TempCopy())) << c.name;
    }
}

TEST(SilentUpdate, SkipsARowItCannotCreateAndWritesEveryLaterOne) {
    demo::Installation install;
    demo::Options options;
    options.root = kRoot;
    options.runProduct = false;
    options.runCompanion = false;
    ASSERT_TRUE(install.Create(options));
    const std::wstring cover = kRoot + L"\\resource\\cover";
    ::DeleteFileW((cover + L"\\cover.png").c_str());
    std::vector<int> missing;
    {
        testenv::Immutable locked(cover);
        ASSERT_TRUE(locked.ok());
        e2e::SilentRun run = e2e::RunSilent();
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(static_cast<DWORD>(kUpdateIncomplete), run.exitCode);
        EXPECT_FALSE(run.showedWindow);
        missing = e2e::RowsNotWritten(kRoot, install.CompanionExe());
    }
    EXPECT_EQ(std::vector<int>{62}, missing) << "rows not written: " << List(missing);
    EXPECT_FALSE(testenv::FileExists(cover + L"\\cover.png"));
}

}  // namespace

// The benchmark's driver: one demo installation (no product running, no companion registered,
// so the update waits for nothing), then the updater's silent run, the floor, the NSIS
// installer and the whole-file floor, each run once to warm up and then N times, in turns.
// Before every run each target file is put back to an old copy; after it, every row must hold
// exactly its payload and the temporary copy must be gone, so a variant that skips work fails
// instead of looking fast.
// With --suite the updater then runs again, once to warm up and N times, on the installation
// with the companion registered and the stand-in product and companion started fresh before
// every run: what the update waits for them to let go is in its time.
//
// usage: bench_run.exe [--suite] [--no-nsis] [--log] [--before <updater.exe>] [N]
//   N measured runs per variant, default 15; --no-nsis leaves out the NSIS installer (a 32-bit
//   program, where only 64-bit programs run); --before adds another build of the updater, run
//   the same way, as the variant "before"; --log adds the updater with its run log turned on by
//   policy, as the variant "with log" (the log is emptied before each of its runs).
// Prints a table and the line:
//   updater X ms, floor Y ms (R1x), NSIS Z ms (R2x), whole-file floor W ms (R3x)[, before B ms (R4x)]
// with each R the updater's median over that variant's median; with --suite, last:
//   updater with the suite running X ms (with fixed pauses: 4000-6000 ms)
// Exit code: 0 when every run of every variant did its job, 1 otherwise.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "demo_install.h"
#include "timed_run.h"
#include "update/catalogue.h"
#include "updater_run.h"

namespace {

const std::wstring kRoot = L"C:\\Program Files\\Ostrel\\Pelmora";
const wchar_t kLogFile[] = L"C:\\Program Files\\Ostrel\\update.log";
constexpr int kDefaultRuns = 15;
constexpr DWORD kRunTimeoutMs = 120000;

struct Variant {
    Variant(const char* variantName, std::wstring path, std::wstring args)
        : name(variantName), exe(std::move(path)), arguments(std::move(args)) {}

    const char* name;
    std::wstring exe;
    std::wstring arguments;  // after the quoted executable path
    bool log = false;        // run with the run log's policy set
    std::vector<double> ms;
    SIZE_T peakWorkingSet = 0;
};

// A file the update replaces: where it lands and what it must hold afterwards.
struct Target {
    int row;
    std::wstring path;
    std::string payload;
};

// `companionExe` empty: no companion is registered, and its row does not apply.
std::vector<Target> Targets(const std::wstring& companionExe) {
    std::vector<Target> targets;
    for (int n : e2e::ReplacedRows(kRoot, companionExe)) {
        targets.push_back({n, e2e::RowTarget(n, kRoot, companionExe), e2e::RowResource(n)});
    }
    return targets;
}

std::wstring TempCopyPath() { return e2e::RowTarget(PayloadCatalogue::kTempSupportLibrary, kRoot, L""); }

// Every target back to an installed old copy (its payload with a trailer), and no temporary copy.
bool ResetTargets(const std::vector<Target>& targets) {
    ::DeleteFileW(TempCopyPath().c_str());
    for (const Target& t : targets) {
        if (t.payload.empty() || !testenv::WriteFileBytes(t.path, t.payload + demo::kOldTrailer)) {
            std::printf("cannot reset row %d (%s)\n", t.row, testenv::Narrow(t.path).c_str());
            return false;
        }
    }
    return true;
}

// Empty when every target holds its payload and the temporary copy is gone, else what is wrong.
std::string CheckTargets(const std::vector<Target>& targets) {
    std::string problems;
    int wrong = 0;
    for (const Target& t : targets) {
        std::string bytes;
        if (testenv::ReadFileBytes(t.path, &bytes) && bytes == t.payload) continue;
        if (++wrong <= 3) problems += " row " + std::to_string(t.row) + " (" + testenv::Narrow(t.path) + ")";
    }
    if (wrong > 0) problems = std::to_string(wrong) + " rows not written:" + problems;
    if (testenv::FileExists(TempCopyPath())) problems += " temporary copy left: " + testenv::Narrow(TempCopyPath());
    return problems;
}

// One run of `v` on freshly reset targets, with the stand-in product and companion of `suite`
// started first when it is given; false (with a line saying why) when it did not do its job.
bool RunOnce(Variant& v, const std::vector<Target>& targets, bool measured, demo::Installation* suite = nullptr) {
    if (!ResetTargets(targets)) return false;
    ::DeleteFileW(kLogFile);
    if (!demo::SetRunLogPolicy(v.log ? kLogFile : L"")) {
        std::printf("%s: cannot set the run log's policy\n", v.name);
        return false;
    }
    if (suite != nullptr && !(suite->StartProduct() && suite->StartCompanion())) {
        std::printf("%s: cannot start the stand-in product and companion\n", v.name);
        return false;
    }
    // The warm-up run, whose time is not kept, is the one that watches the working set.
    bench::TimedRun run = bench::RunTimed(L"\"" + v.exe + L"\"" + v.arguments, kRunTimeoutMs,
                                          measured ? bench::Watch::EndOnly : bench::Watch::SampleMemory);
    if (!run.started) {
        std::printf("%s: cannot start %s\n", v.name, testenv::Narrow(v.exe).c_str());
        return false;
    }
    if (!run.ended) {
        std::printf("%s: still running after %lu ms, terminated\n", v.name, kRunTimeoutMs);
        return false;
    }
    // Success is 0 for all three (the updater's kUpdateSucceeded).
    if (run.exitCode != 0) {
        std::printf("%s: exit code %lu\n", v.name, run.exitCode);
        return false;
    }
    std::string problems = CheckTargets(targets);
    if (!problems.empty()) {
        std::printf("%s: %s\n", v.name, problems.c_str());
        return false;
    }
    if (measured) {
        v.ms.push_back(run.milliseconds);
    } else {
        v.peakWorkingSet = run.peakWorkingSet;
    }
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Megabytes(SIZE_T bytes) {
    if (bytes == 0) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

void PrintTable(const std::vector<Variant>& variants) {
    std::printf("\n%-16s %10s %10s %10s %14s %17s\n", "variant", "median ms", "min ms", "max ms", "exe bytes",
                "peak working set");
    for (const Variant& v : variants) {
        auto range = std::minmax_element(v.ms.begin(), v.ms.end());
        std::printf("%-16s %10.1f %10.1f %10.1f %14lld %17s\n", v.name, Median(v.ms), *range.first, *range.second,
                    bench::FileSize(v.exe), Megabytes(v.peakWorkingSet).c_str());
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    bool withSuite = false;
    bool withNsis = true;
    bool withLog = false;
    std::wstring before;
    int runs = kDefaultRuns;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--suite") {
            withSuite = true;
        } else if (arg == "--no-nsis") {
            withNsis = false;
        } else if (arg == "--log") {
            withLog = true;
        } else if (arg == "--before" && i + 1 < argc) {
            before = testenv::Widen(argv[++i]);
        } else {
            runs = std::atoi(argv[i]);
        }
    }
    if (runs < 1) {
        std::printf("usage: bench_run.exe [--suite] [--no-nsis] [--log] [--before <updater.exe>] [N]   "
                    "(N measured runs per variant, at least 1)\n");
        return 2;
    }

    demo::Options options;
    options.root = kRoot;
    options.runProduct = false;
    options.registerCompanion = false;
    options.runCompanion = false;
    demo::Installation install;
    if (!install.Create(options)) {
        std::printf("could not make the demo installation\n");
        return 1;
    }
    e2e::RemoveDrivers();
    const std::vector<Target> targets = Targets(L"");

    std::vector<Variant> variants = {
        {"updater", e2e::UpdaterPath(), L" -s"},
        {"floor", testenv::BinFile(L"bench\\floor.exe"), L" \"" + kRoot + L"\""},
    };
    if (withNsis) variants.emplace_back("NSIS", testenv::BinFile(L"bench\\nsis_update.exe"), L" /S /D=" + kRoot);
    variants.emplace_back("whole-file floor", testenv::BinFile(L"bench\\whole_floor.exe"), L" \"" + kRoot + L"\"");
    if (!before.empty()) variants.emplace_back("before", before, L" -s");
    if (withLog) {
        variants.emplace_back("with log", e2e::UpdaterPath(), L" -s");
        variants.back().log = true;
    }
    std::printf("Demo installation: %s, %zu files to replace, %s prefix; 1 warm-up and %d measured runs each\n",
                testenv::Narrow(kRoot).c_str(), targets.size(), testenv::PrefixName().c_str(), runs);

    for (Variant& v : variants) {
        if (!RunOnce(v, targets, false)) return 1;
    }
    // In turns, so that a slow phase of the machine does not fall on one variant only.
    for (int i = 0; i < runs; ++i) {
        for (Variant& v : variants) {
            if (!RunOnce(v, targets, true)) return 1;
        }
    }

    PrintTable(variants);
    double updater = Median(variants[0].ms);
    std::printf("updater %.1f ms", updater);
    for (size_t i = 1; i < variants.size(); ++i) {
        double other = Median(variants[i].ms);
        std::printf(", %s %.1f ms (%.2fx)", variants[i].name, other, updater / other);
    }
    std::printf("\n");
    if (!withSuite) return 0;

    options.registerCompanion = true;
    if (!install.Create(options)) {
        std::printf("could not make the demo installation with the companion registered\n");
        return 1;
    }
    e2e::RemoveDrivers();
    const std::vector<Target> suiteTargets = Targets(install.CompanionExe());
    Variant suite("suite", e2e::UpdaterPath(), L" -s");
    for (int i = 0; i <= runs; ++i) {
        if (!RunOnce(suite, suiteTargets, i > 0, &install)) return 1;
    }
    auto range = std::minmax_element(suite.ms.begin(), suite.ms.end());
    std::printf("updater with the suite running: median %.1f ms, min %.1f ms, max %.1f ms over %d runs\n",
                Median(suite.ms), *range.first, *range.second, runs);
    std::printf("updater with the suite running %.1f ms (with fixed pauses: 4000-6000 ms)\n", Median(suite.ms));
    return 0;
}

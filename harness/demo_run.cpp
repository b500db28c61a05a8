// The demo: makes a demo installation in the current Wine prefix, runs the updater on it, and
// says in a few lines what happened.
// usage: demo_run.exe                          silent run ("-s")
//        demo_run.exe --interactive <folder>   the dialog, YES pressed, a screenshot per state
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "demo_install.h"
#include "res/resource.h"
#include "update/update_result.h"
#include "updater_run.h"
#include "window_probe.h"

namespace {

const std::wstring kRoot = L"C:\\Program Files\\Ostrel\\Pelmora";

// Saves the screen area of `hwnd` as a PNG file, through the X server's own tools.
void Screenshot(HWND hwnd, const std::wstring& folder, const char* name) {
    RECT r;
    ::GetWindowRect(hwnd, &r);
    char crop[64];
    std::snprintf(crop, sizeof crop, "%ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top, r.left, r.top);
    std::wstring file = folder + L"\\" + testenv::Widen(name) + L".png";
    int status = testenv::RunUnix(L"xwd -root -silent | convert xwd:- -crop " + testenv::Widen(crop) +
                                  L" +repage png:'" + testenv::UnixPath(file) + L"'");
    if (status != 0) {
        std::printf("  screenshot %s.png not saved (xwd | convert: status %d)\n", name, status);
        return;
    }
    std::printf("  screenshot: %s.png\n", name);
}

int RunInteractive(const std::wstring& folder) {
    testenv::ChildProcess updater;
    if (!e2e::StartUpdater(&updater, L"")) return 1;
    HWND dlg = probe::WaitForTopWindow(updater.Pid(), "#32770", "Ostrel Pelmora update", 15000);
    if (dlg == nullptr) return 1;
    ::Sleep(500);
    Screenshot(dlg, folder, "1-ready");
    probe::PostClick(dlg, IDC_YES);
    bool tookUpdating = false;
    for (int i = 0; i < 3000; ++i) {
        ::Sleep(20);
        std::string text = probe::ControlText(dlg, IDC_MESSAGE_TEXT);
        if (!tookUpdating && text == "Updating...") {
            ::Sleep(200);
            Screenshot(dlg, folder, "2-updating");
            tookUpdating = true;
        }
        if (probe::ControlVisible(dlg, IDC_EXIT)) break;
    }
    ::Sleep(500);
    Screenshot(dlg, folder, "3-finished");
    std::printf("  dialog says: %s\n", probe::ControlText(dlg, IDC_MESSAGE_TEXT).c_str());
    probe::PostClick(dlg, IDC_EXIT);
    updater.Wait(15000);
    return static_cast<int>(updater.ExitCode());
}

}  // namespace

int main(int argc, char** argv) {
    bool interactive = argc == 3 && std::string(argv[1]) == "--interactive";
    demo::Installation install;
    if (!install.Create({kRoot})) {
        std::printf("could not make the demo installation\n");
        return 1;
    }
    e2e::RemoveDrivers();
    std::printf("Demo installation: %s (version 1.02.00), product running, companion registered and running\n",
                testenv::Narrow(kRoot).c_str());

    LARGE_INTEGER freq, t0, t1;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&t0);
    DWORD code = 0;
    if (interactive) {
        testenv::MakeDirs(testenv::Widen(argv[2]));
        code = static_cast<DWORD>(RunInteractive(testenv::Widen(argv[2])));
    } else {
        e2e::SilentRun run = e2e::RunSilent();
        code = run.exitCode;
        std::printf("Silent run: %s\n", run.showedWindow ? "a window appeared" : "no window");
    }
    ::QueryPerformanceCounter(&t1);

    std::vector<int> missing = e2e::RowsNotWritten(kRoot, install.CompanionExe());
    const std::vector<int> replaced = e2e::ReplacedRows(kRoot, install.CompanionExe());
    const int applicable = static_cast<int>(replaced.size());
    unsigned long long bytes = 0;
    for (int n : replaced) {
        if (std::find(missing.begin(), missing.end(), n) == missing.end()) bytes += e2e::RowResource(n).size();
    }
    std::printf("Files replaced: %d of %d (%llu bytes), drivers for %s Windows in %s\n",
                applicable - static_cast<int>(missing.size()), applicable, bytes,
                testenv::UpdaterUnderWow64() ? "64-bit" : "32-bit", testenv::Narrow(e2e::DriversDir()).c_str());
    std::printf("Product stopped: %s\n", install.Product().Wait(3000) ? "yes" : "no");
    std::printf("Companion refreshed: %s\n", install.Companion().Wait(3000) ? "yes (it quit, its executable replaced)" : "no");
    std::printf("Exit code: %lu (%s)\n", code, UpdateResultMeaning(static_cast<int>(code)));
    std::printf("Time: %.2f s (waiting for the product and the companion to let go included; with fixed pauses 4-6 s)\n",
                static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart));
    return code == kUpdateSucceeded ? 0 : 1;
}

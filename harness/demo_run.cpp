// The demo: makes a demo installation in the current Wine prefix, runs the updater on it, and
// says in a few lines what happened.
// usage: demo_run.exe                          silent run ("-s")
//        demo_run.exe --interactive <folder>   the dialog, YES pressed, a screenshot per state
//                                              and of the About box; then, once more with a
//                                              skin file in use, of the Finished state that
//                                              asks for a restart
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "demo_install.h"
#include "res/resource.h"
#include "update/update_result.h"
#include "updater_run.h"
#include "window_probe.h"

namespace {

const std::wstring kRoot = L"C:\\Program Files\\Ostrel\\Pelmora";

// The performance counter's reading now, and seconds between two readings.
LONGLONG Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Seconds(LONGLONG from, LONGLONG to) {
    LARGE_INTEGER freq;
    ::QueryPerformanceFrequency(&freq);
    return static_cast<double>(to - from) / static_cast<double>(freq.QuadPart);
}

// Saves the screen area of `hwnd` as <folder>\<name>.png, of at most 64 colours and not
// dithered (the README keeps these pictures, and a dialog needs no more), through the X
// server's own tools. Returns the performance counter's reading once the screen was captured
// (before the conversion), or 0 when the picture was not saved.
LONGLONG Screenshot(HWND hwnd, const std::wstring& folder, const char* name) {
    RECT r;
    ::GetWindowRect(hwnd, &r);
    char crop[64];
    std::snprintf(crop, sizeof crop, "%ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top, r.left, r.top);
    const std::wstring png = testenv::UnixPath(folder + L"\\" + testenv::Widen(name) + L".png");
    const std::wstring xwd = testenv::UnixPath(folder + L"\\" + testenv::Widen(name) + L".xwd");
    int status = testenv::RunUnix(L"xwd -root -silent > '" + xwd + L"'");
    const LONGLONG captured = Now();
    if (status == 0) {
        status = testenv::RunUnix(L"convert xwd:'" + xwd + L"' -crop " + testenv::Widen(crop) +
                                  L" +repage -strip +dither -colors 64 png8:'" + png + L"'");
    }
    testenv::RunUnix(L"rm -f '" + xwd + L"'");
    if (status != 0) {
        std::printf("  screenshot %s.png not saved (xwd, convert: status %d)\n", name, status);
        return 0;
    }
    std::printf("  screenshot: %s.png\n", name);
    return captured;
}

// Opens the About box through the dialog's system menu, as the user's menu click would, saves
// its picture and closes it with OK, so that the dialog takes YES again.
void ShowAbout(HWND dlg, DWORD pid, const std::wstring& folder) {
    ::PostMessageA(dlg, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = probe::WaitForTopWindow(pid, "#32770", "About ", 5000);
    if (about == nullptr || !probe::WaitForWindowVisible(about, 5000)) {
        std::printf("  screenshot about.png not saved: no About box appeared\n");
        return;
    }
    ::Sleep(500);
    Screenshot(about, folder, "about");
    probe::PostClick(about, IDOK);
    if (!probe::WaitForWindowGone(about, 5000)) std::printf("  the About box did not close on OK\n");
}

// Shows the dialog, saves the About box and the dialog's Ready state, presses YES and saves the
// Updating and Finished states. `updateSeconds` receives the time from YES to the Finished
// state, or stays negative when that state did not come within a minute.
int RunInteractive(const std::wstring& folder, double* updateSeconds) {
    *updateSeconds = -1;
    testenv::ChildProcess updater;
    if (!e2e::StartUpdater(&updater, L"")) return 1;
    HWND dlg = probe::WaitForTopWindow(updater.Pid(), "#32770", "Ostrel Pelmora update", 15000);
    if (dlg == nullptr) return 1;
    // The About box first: the dialog is active once it closes, its caption drawn as the user
    // who started the updater sees it (the display has no window manager to activate it).
    ShowAbout(dlg, updater.Pid(), folder);
    ::Sleep(500);
    Screenshot(dlg, folder, "dialog-ready");

    // The Finished state is looked for on a thread of its own, so that the time it is seen at
    // does not wait for the Updating picture being taken meanwhile.
    std::atomic<LONGLONG> finishedAt{0};
    std::atomic<bool> watching{true};
    const LONGLONG clicked = Now();
    probe::PostClick(dlg, IDC_YES);
    std::thread watcher([&] {
        for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 60000 && ::IsWindow(dlg); ::Sleep(2)) {
            if (probe::ControlVisible(dlg, IDC_EXIT)) {
                finishedAt = Now();
                break;
            }
        }
        watching = false;
    });
    bool sawUpdating = false;
    while (watching) {
        if (!sawUpdating && probe::ControlText(dlg, IDC_MESSAGE_TEXT) == "Updating...") {
            sawUpdating = true;
            // The dialog draws the whole state a moment after its text changes.
            ::Sleep(50);
            const LONGLONG captured = Screenshot(dlg, folder, "dialog-updating");
            if (captured != 0 && finishedAt != 0 && finishedAt < captured) {
                std::printf("  (the update finished while the screen was captured: the picture may show the Finished state)\n");
            }
        }
        ::Sleep(20);
    }
    watcher.join();
    if (!sawUpdating) std::printf("  screenshot dialog-updating.png not saved: the Updating state was not seen\n");
    if (finishedAt != 0) *updateSeconds = Seconds(clicked, finishedAt);
    ::Sleep(500);
    Screenshot(dlg, folder, "dialog-finished");
    std::printf("  dialog says: %s\n", probe::ControlText(dlg, IDC_MESSAGE_TEXT).c_str());
    probe::PostClick(dlg, IDC_EXIT);
    updater.Wait(15000);
    return static_cast<int>(updater.ExitCode());
}

// Runs the dialog once more while another program holds a skin file as Windows holds a
// running program's file, and saves the Finished state that asks for the restart.
void ShowFinishedWithRestart(const std::wstring& folder) {
    testenv::ChildProcess holder;
    if (!holder.Start(L"\"" + testenv::BinFile(L"testtools\\hold_file.exe") + L"\" --as-image \"" + kRoot +
                      L"\\resource\\cover\\cover.png\"")) {
        std::printf("  screenshot dialog-finished-restart.png not saved: the file could not be held\n");
        return;
    }
    ::Sleep(1000);
    testenv::ChildProcess updater;
    HWND dlg = nullptr;
    if (e2e::StartUpdater(&updater, L"")) {
        dlg = probe::WaitForTopWindow(updater.Pid(), "#32770", "Ostrel Pelmora update", 15000);
    }
    if (dlg == nullptr) return;
    probe::PostClick(dlg, IDC_YES);
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 60000 && !probe::ControlVisible(dlg, IDC_EXIT);) {
        ::Sleep(20);
    }
    ::Sleep(500);
    Screenshot(dlg, folder, "dialog-finished-restart");
    std::printf("  dialog says: %s\n", probe::ControlText(dlg, IDC_MESSAGE_TEXT).c_str());
    probe::PostClick(dlg, IDC_EXIT);
    updater.Wait(15000);
    std::printf("  exit code with a file in use: %lu\n", updater.ExitCode());
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

    DWORD code = 0;
    double seconds = -1;
    if (interactive) {
        testenv::MakeDirs(testenv::Widen(argv[2]));
        code = static_cast<DWORD>(RunInteractive(testenv::Widen(argv[2]), &seconds));
    } else {
        const LONGLONG start = Now();
        e2e::SilentRun run = e2e::RunSilent();
        seconds = Seconds(start, Now());
        code = run.exitCode;
        std::printf("Silent run: %s\n", run.showedWindow ? "a window appeared" : "no window");
    }

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
    if (seconds < 0) {
        std::printf("Time: not measured (the dialog did not reach its Finished state)\n");
    } else {
        std::printf("Time: %.2f s %s (waiting for the product and the companion to let go included; with fixed pauses 4-6 s)\n",
                    seconds, interactive ? "from YES to the Finished state" : "for the silent run");
    }
    if (interactive) ShowFinishedWithRestart(testenv::Widen(argv[2]));
    return code == kUpdateSucceeded ? 0 : 1;
}

// The benchmark's whole-file floor: the least a program can do without ever leaving a file cut
// short, started as the updater must start. It imports user32 and looks once for the product's
// window, as the updater does on every run (and the support library it loads imports user32
// too); under Wine user32's start is a good part of so short a run. Then it writes each row to
// a staging file renamed over its target (bench/floor_rows.h).
//
// usage: whole_floor.exe <install directory>      (quoted or not; nothing after it)
// exit code: 0 when every row was written, 1 otherwise (2: no install directory given).
#include <windows.h>

#include "bench/floor_rows.h"
#include "suite/suite_stopper.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t root[MAX_PATH];
    if (!bench::InstallDirFromCommandLine(root)) return 2;
    // Only looked for: on the benchmark's installation no product runs, and stopping it is the
    // updater's work, not a floor's.
    ::FindWindowW(suite::kProductWindowClass, suite::kProductWindowTitle);
    return bench::WriteRows(root, bench::RowWrite::Whole) ? 0 : 1;
}

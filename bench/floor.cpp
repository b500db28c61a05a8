// The benchmark's floor: the least a program can do to put the update's files in place. It
// writes the rows in place (bench/floor_rows.h); no registry, no probes, no waits, and no
// user32: it starts with kernel32 alone.
//
// usage: floor.exe <install directory>      (quoted or not; nothing after it)
// exit code: 0 when every row was written, 1 otherwise (2: no install directory given).
#include <windows.h>

#include "bench/floor_rows.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t root[MAX_PATH];
    if (!bench::InstallDirFromCommandLine(root)) return 2;
    return bench::WriteRows(root, bench::RowWrite::InPlace) ? 0 : 1;
}

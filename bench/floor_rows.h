// What the benchmark's two floors share: the install directory from the command line and the
// rows the updater writes on an installation with no companion registered (the support
// library's temporary copy, deleted again right after; the driver pair of this Windows'
// bitness; the support library and the product; the skin), written from the program's own
// embedded resources (the updater's resource objects), so that a floor writes the very same
// bytes. Nothing here imports user32: the plain floor starts with kernel32 alone.
#pragma once

#include <windows.h>

namespace bench {

// The command tail after the program name, surrounding blanks and quotes removed. False when
// it is empty or does not fit.
bool InstallDirFromCommandLine(wchar_t (&root)[MAX_PATH]);

enum class RowWrite {
    // One CreateFileA, one WriteFile straight from the locked resource, one CloseHandle.
    InPlace,
    // A staging file beside the target (the updater's staging name), flushed for programs and
    // drivers that stay, renamed over the target through its own handle; removed when anything
    // fails, so that no target is ever left cut short.
    Whole,
};

// Writes every row below `root` the way `how` says. True when every row was written.
bool WriteRows(const wchar_t* root, RowWrite how);

}  // namespace bench

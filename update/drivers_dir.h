// Where the driver rows go: the system directory that Windows loads kernel drivers from. This is
// the one place that decides it.
#pragma once

#include <windows.h>

#include <string>

// Fills `dir` with the folder that the driver rows' relative paths ("\Drivers\...") are joined
// to, without a trailing backslash. On 32-bit Windows, and for a 64-bit build, it is the
// system directory. On 64-bit Windows (`bIsWow64`) this 32-bit process's system directory is
// redirected to SysWOW64, whose Drivers folder Windows never loads from, so the native
// System32 is reached through "Sysnative": a name that only 32-bit processes on 64-bit Windows
// have, and that changes no other path or library load. False, with `dir` empty, when the
// system gives no directory that fits.
bool DriversBaseDir(BOOL bIsWow64, wchar_t (&dir)[MAX_PATH]);

// The Drivers folder that `DriversBaseDir` leads to, as the rest of the system names it (the
// native System32\Drivers where the updater goes through "Sysnative"), for the run log.
std::wstring DriversFolderAsNamed(BOOL bIsWow64);

// Running the built updater as a user or a deployment tool would, and checking what it wrote.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "demo_install.h"
#include "test_env.h"

namespace e2e {

std::wstring UpdaterPath();

// Starts the updater with `arguments` after its quoted path (the command line is exactly
// "\"<path>\"" + arguments).
bool StartUpdater(testenv::ChildProcess* updater, const std::wstring& arguments);

// A silent run: waits for the end, and watches meanwhile for any top-level window of it.
struct SilentRun {
    bool ended = false;
    DWORD exitCode = 0;
    bool showedWindow = false;
};
SilentRun RunSilent(const std::wstring& arguments = L" -s", DWORD timeoutMs = 60000);

// Where row `number` lands on this machine, for an installation at `root` and a companion
// at `companionExe` (empty: none registered). Empty when the row does not apply here.
std::wstring RowTarget(int number, const std::wstring& root, const std::wstring& companionExe);
// The bytes the updater embeds for row `number`.
std::string RowResource(int number);

// The rows the update leaves in place on this machine, by number: every row that applies, but
// the temporary copy of the support library, which it deletes again.
std::vector<int> ReplacedRows(const std::wstring& root, const std::wstring& companionExe);
// Of ReplacedRows, those whose target does not hold exactly their resource.
std::vector<int> RowsNotWritten(const std::wstring& root, const std::wstring& companionExe);
// Every file below `dir` (recursively) with its bytes, for comparing before and after.
std::vector<std::pair<std::wstring, std::string>> Snapshot(const std::wstring& dir);

// The Drivers folder that Windows loads kernel drivers from (the native System32's), seen from
// the prefix's Unix side; and the one a 32-bit process's redirected system folder has, which
// must stay without them.
std::wstring DriversDir();
std::wstring RedirectedDriversDir();
void RemoveDrivers();

}  // namespace e2e

// The replacements Windows carries out at the next restart (PendingFileRenameOperations), as a
// test reads them and as the test prefix's restart (`wineboot -r`) carries them out.
#pragma once

#include <string>
#include <vector>

namespace testenv {

// One scheduled operation: `from` moved to `to` (replacing what is there when `replace`), or
// deleted when `to` is empty. Paths are as the program named them, without the "\??\" prefix.
struct PendingRename {
    std::wstring from;
    std::wstring to;
    bool replace = false;
};

// What is scheduled now, in order; empty when nothing is.
std::vector<PendingRename> PendingRenames();
// Whether `from` is scheduled to go to `to` (empty: to be deleted).
bool IsPending(const std::wstring& from, const std::wstring& to);
// Restarts the test prefix as far as scheduled replacements go (`wineboot -r`), waiting for
// its end. False when it could not be run or did not end.
bool CarryOutPendingRenames();

}  // namespace testenv

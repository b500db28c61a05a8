// The two file-system steps that make a whole-file replacement, free of everything else the
// updater does, so that the benchmark's whole-file floor takes exactly the same ones.
#pragma once

#include <windows.h>

// The staging file's path for `target`: the same folder, the name with a leading "~" and
// without its last character, so that it is never longer than the target's. False, with
// `staging` empty, when `target` has no file name or does not fit.
bool StagingPathFor(const wchar_t* target, wchar_t (&staging)[MAX_PATH]);

// Renames the open `file` (opened with DELETE access) to `target` through its own handle,
// replacing an existing target. FALSE when the target could not be replaced (held open by
// another program, say); GetLastError says why, and `file` keeps its name.
BOOL RenameOver(HANDLE file, const wchar_t* target);

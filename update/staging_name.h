// The two file-system steps that make a whole-file replacement, free of everything else the
// updater does, so that the benchmark's whole-file floor takes exactly the same ones.
#pragma once

#include <windows.h>

// Where the file name in `path` starts: after its last backslash, slash or drive colon.
size_t FileNameStart(const wchar_t* path);

// The staging file's path for `target`: the same folder, the name with a leading "~" and
// without its last character, so that it is never longer than the target's. False, with
// `staging` empty, when `target` has no file name or does not fit.
bool StagingPathFor(const wchar_t* target, wchar_t (&staging)[MAX_PATH]);

// Renames the open `file` (opened with DELETE access) to `target` through its own handle,
// replacing an existing target. FALSE when the target could not be replaced (held open by
// another program, say); GetLastError says why, and `file` keeps its name.
BOOL RenameOver(HANDLE file, const wchar_t* target);
// The same without replacing anything: FALSE when a file already has the name `path`.
BOOL RenameTo(HANDLE file, const wchar_t* path);
// Deletes the open `file` (opened with DELETE access) through its handle, so that the file
// deleted is the one opened, wherever its name now leads; it goes when the handle is closed.
BOOL DeleteThroughHandle(HANDLE file);

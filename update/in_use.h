// Replacing a file that another program holds open: a loaded driver, a running copy of the
// product (in another session, say) or a companion that did not quit. Windows refuses to rename
// over such a file, but a file held read- and delete-shared (as a loaded image is) may be moved
// aside within its folder, and a replacement may be left for the next restart to carry out.
// Both are what installers do with files in use; the run then asks for a restart (exit 3010).
#pragma once

#include <windows.h>

#include <string>

// How a replaced file took its new bytes.
enum class Replacement {
    Now,            // renamed over the old file
    OldMovedAside,  // the old file, in use, moved aside and deleted at the next restart
    AtRestart,      // the old file, held with no sharing, replaced at the next restart
};

// The aside name of `target` for this run: "<target>.~<8 hex digits>", the digits the run's own
// (random, the same for every file of one run), so that a file an earlier run moved aside and
// that is still held never stands in the way. No row and no staging file has such a name. False,
// with `aside` empty, when it would not fit in MAX_PATH characters.
bool AsidePathFor(const wchar_t* target, wchar_t (&aside)[MAX_PATH]);

// Whether the file name `name` (no folder) is an aside name of some run.
bool IsAsideName(const wchar_t* name);

// Whether a rename over a target that failed with `error` may have met a file in use (and not,
// say, a missing folder or a path that is too long).
bool MayBeInUse(DWORD error);

// Replaces `target`, in use, by `staging`, a complete file beside it opened with DELETE access
// (its handle `stagingHandle`) after the rename over the target was refused with `renameError`:
// - the target opens for deletion (held read- and delete-shared): it is moved aside under its
//   aside name, the staging file renamed into its place, and the aside file scheduled for
//   deletion at the next restart;
// - it is held with no sharing at all: the staging file stays and is scheduled to replace the
//   target at the next restart.
// Returns how, or false with the target as it was (and GetLastError `renameError`, or the
// scheduler's error) when it is refused otherwise (read-only, immutable, denied to this
// account) or cannot be scheduled (the run is not elevated). `*aside` gets the aside path.
bool ReplaceInUse(const wchar_t* target, const wchar_t* staging, HANDLE stagingHandle, DWORD renameError,
                  Replacement* how, std::wstring* aside);

// Deletes what earlier runs moved aside in `folder` (its path ends in a separator), once per
// folder and run: the files that are free by now go, those still held stay for their restart.
void SweepAsideFiles(const std::wstring& folder);

// Replacing a file whole. The new bytes go into a staging file in the target's own folder, and
// only a staging file that was written and closed completely takes the target's place, in one
// rename. Until then the target keeps its old bytes, so a full disk or a failed write never
// leaves a file cut short.
#pragma once

#include <windows.h>

#include "afx/handles.h"

class StagedFile {
public:
    StagedFile() = default;
    // Removes the staging file unless it has replaced the target.
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Prepares to replace `target` (ANSI code page text, the path exactly as the row opens it).
    // The target must be replaceable as an open for writing shared with nobody would find it:
    // absent in an existing folder, or present, writable and held by nobody. Then a stale
    // staging file of an earlier, interrupted run is removed and the staging file is created
    // exclusively (a file planted under its name is never opened). Returns the staging file's
    // handle, open for writing, which the caller owns and must close before Commit; an invalid
    // handle when the target cannot be replaced or the staging file cannot be made (nothing
    // was changed then).
    HANDLE Begin(const char* target);

    // Puts the complete, closed staging file in the target's place in one write-through rename
    // (MoveFileExW, replacing an existing target). The new file keeps the old one's hidden,
    // system and not-indexed attributes (and is marked for archiving, as any written file is),
    // and its access rules where they differ from those a new file in its folder gets; both
    // are set on the staging file before the rename. FALSE when the target could not be
    // replaced; it then keeps its old bytes.
    BOOL Commit();

    // The staging file's path for `target`: the same folder, the name with a leading "~" and
    // without its last character, so that it is never longer than the target's. Empty when
    // `target` has no file name. Exposed for tests that look for leftovers.
    static bool StagingPathFor(const wchar_t* target, wchar_t (&staging)[MAX_PATH]);

private:
    wchar_t m_target[MAX_PATH] = L"";
    wchar_t m_staging[MAX_PATH] = L"";
    DWORD m_targetAttributes = INVALID_FILE_ATTRIBUTES;  // INVALID: there is no target yet
    afx::LocalMemory m_targetSecurity;                   // the target's DACL, when there is a target
    bool m_pending = false;                              // a staging file exists and is ours
};

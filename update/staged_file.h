// Replacing a file whole. The new bytes go into a staging file in the target's own folder (its
// name: update/staging_name.h), and
// only a staging file that was written completely takes the target's place, in one rename.
// Until then the target keeps its old bytes, so a full disk or a failed write never leaves a
// file cut short.
#pragma once

#include <windows.h>

#include <string>

#include "afx/handles.h"
#include "update/in_use.h"

// What a row allows the replacement of its target.
struct StagingOptions {
    // A target that another program holds is replaced all the same (update/in_use.h), and what
    // earlier runs moved aside in its folder is swept first.
    bool inUseAllowed = false;
    // For a row below the install directory: that directory as the registry names it. Its
    // folders below must be plain, and the staging file must be in the folder meant
    // (update/install_tree.h).
    const wchar_t* installDir = nullptr;
};

class StagedFile {
public:
    StagedFile() = default;
    // Removes the staging file unless it has replaced the target.
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Prepares to replace `target` (ANSI code page text, the path exactly as the row opens it).
    // The target must be absent in an existing folder, or present, a file and not read-only;
    // a target held open by another program is met later, at the rename. Below the install
    // directory, a folder on the way that is a link refuses the row. Then a stale staging file
    // of an earlier, interrupted run is removed and the staging file is created exclusively (a
    // file planted under its name is never opened); one that did not land in the folder meant
    // is deleted again and refuses the row. Attributes and access rules are carried over only
    // from a plain file: a link at the target is replaced as a name, and the file it points to
    // is neither read nor changed. Returns the staging file's handle, open for writing, which
    // the caller owns, keeps open through Commit and closes after it; an invalid handle when
    // the target cannot be replaced or the staging file cannot be made (nothing was changed
    // then; GetLastError says why: kErrorLinkInTheWay for a link in the way).
    HANDLE Begin(const char* target, const StagingOptions& options = {});

    // Puts the complete staging file, still open as `staging` (the handle Begin returned), in
    // the target's place in one rename through that handle, replacing an existing target. The
    // new file keeps the old one's hidden, system and not-indexed attributes (and is marked for
    // archiving, as any written file is), and its access rules where they differ from those
    // the new file got from its folder. Where Begin allowed it, a target that another program
    // holds is still replaced, now or at the next restart; How() says which. FALSE when the
    // target could not be replaced (read-only, immutable, denied to this account, or in use
    // where that is not allowed or cannot be scheduled; GetLastError says why); it then keeps
    // its old bytes, and the staging file goes with this object.
    BOOL Commit(HANDLE staging);

    // After a successful Commit: how the target took its new bytes, and the path of the old
    // file moved aside (OldMovedAside) or of the staging file left for the restart (AtRestart).
    Replacement How() const { return m_how; }
    const std::wstring& LeftBeside() const { return m_beside; }

private:
    wchar_t m_target[MAX_PATH] = L"";
    wchar_t m_staging[MAX_PATH] = L"";
    DWORD m_targetAttributes = INVALID_FILE_ATTRIBUTES;  // INVALID: there is no target yet
    bool m_pending = false;                              // a staging file exists and is ours
    bool m_inUseAllowed = false;
    bool m_targetPlain = false;  // the target is a plain file, whose attributes and rules count
    Replacement m_how = Replacement::Now;
    std::wstring m_beside;
};

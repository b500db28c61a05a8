#include "update/staged_file.h"

#include <string>

#include "update/access_rules.h"
#include "update/install_tree.h"
#include "update/rules_prefetch.h"
#include "update/run_log.h"
#include "update/staging_name.h"

namespace {

// What an old file passes on to its replacement. Read-only is not among them: a read-only
// target is refused before anything is staged. Archive is not either: the new file has just
// been written, so it is marked for the next backup as any written file is.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Writing, and renaming and deleting through the handle itself: the rename then needs no
// second open of the file, and moves exactly the file that was written.
HANDLE CreateStaging(const wchar_t* path) {
    return ::CreateFileW(path, GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

// What a new file gets from its folder, remembered from one row to the next in the same folder.
NewFileRules& NewFileRulesOfThisRun() {
    static NewFileRules rules;
    return rules;
}

}  // namespace

StagedFile::~StagedFile() {
    if (m_pending) ::DeleteFileW(m_staging);
}

HANDLE StagedFile::Begin(const char* target, const StagingOptions& options) {
    m_inUseAllowed = options.inUseAllowed;
    // The same conversion the ANSI file functions make, so the wide path names the same file.
    if (::MultiByteToWideChar(CP_ACP, 0, target, -1, m_target, MAX_PATH) <= 0 ||
        !StagingPathFor(m_target, m_staging)) {
        ::SetLastError(ERROR_BAD_PATHNAME);
        return INVALID_HANDLE_VALUE;
    }

    // One look at the name, without opening it: a missing folder, a folder under the target's
    // name and a read-only target refuse the row before anything is staged, as an open for
    // writing would. A target held open by another program is met at the rename, in Commit.
    m_targetAttributes = ::GetFileAttributesW(m_target);
    if (m_targetAttributes == INVALID_FILE_ATTRIBUTES) {
        if (::GetLastError() != ERROR_FILE_NOT_FOUND) return INVALID_HANDLE_VALUE;
    } else if (m_targetAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    std::wstring link;
    if (options.installDir != nullptr && !InstallFoldersArePlain(options.installDir, m_target, &link)) {
        ::SetLastError(kErrorLinkInTheWay);
        return INVALID_HANDLE_VALUE;
    }

    const std::wstring folder(m_staging, FileNameStart(m_staging));
    if (m_inUseAllowed) SweepAsideFiles(folder);
    // Exclusive: a file planted under the staging name is never opened. A stale one of an earlier,
    // interrupted run (or a link planted there) is removed as a name, which never follows a
    // link, and the create is tried once more; whatever still stands refuses the row.
    afx::UniqueHandle staging(CreateStaging(m_staging));
    if (!staging && ::GetLastError() == ERROR_FILE_EXISTS && ::DeleteFileW(m_staging)) {
        staging.reset(CreateStaging(m_staging));
    }
    if (!staging) return INVALID_HANDLE_VALUE;
    m_pending = true;

    // Where the staging file really is: a folder swapped for a link after the look above is
    // caught here, and nothing stays where it leads.
    const std::wstring stagingFolder = FolderOf(FinalPath(staging.get()));
    if (options.installDir != nullptr && !SamePath(stagingFolder, MeantFolder(options.installDir, m_target))) {
        DeleteThroughHandle(staging.get());
        m_pending = false;
        if (runlog::On()) {
            runlog::Write("staging file of %s: it landed in %s, not in the folder meant; deleted again",
                          runlog::Utf8(m_target).c_str(), runlog::Utf8(stagingFolder.c_str()).c_str());
        }
        ::SetLastError(kErrorLinkInTheWay);
        return INVALID_HANDLE_VALUE;
    }
    if (m_targetAttributes == INVALID_FILE_ATTRIBUTES) return staging.release();

    // Only a plain file, really in the staging file's folder under the target's name, passes
    // anything on: a link at the target (a reparse point, or under Wine a name that leads
    // elsewhere) is replaced as it is.
    AccessRules read;
    const AccessRules* old = RulesPrefetch::Find(m_target);
    if (old == nullptr && read.ReadFrom(m_target)) old = &read;
    m_targetPlain = old != nullptr && (m_targetAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                    !stagingFolder.empty() &&
                    SamePath(old->FinalPath(), stagingFolder + L"\\" + (m_target + FileNameStart(m_target)));
    if (!m_targetPlain) return staging.release();
    // A new file in the same folder usually gets the old file's rules already (those its folder
    // passes on); only rules of the old file's own are carried over, since writing them costs.
    if (!old->SameAs(NewFileRulesOfThisRun().For(folder, staging.get()))) old->ApplyTo(staging.get());
    return staging.release();
}

BOOL StagedFile::Commit(HANDLE staging) {
    if (!m_pending) return FALSE;
    DWORD kept = m_targetPlain ? m_targetAttributes & kKeptAttributes : 0;
    // Most files have none of them; zero times leave the file's times as they are.
    if (kept != 0) {
        FILE_BASIC_INFO basic = {};
        basic.FileAttributes = kept | FILE_ATTRIBUTE_ARCHIVE;
        ::SetFileInformationByHandle(staging, FileBasicInfo, &basic, sizeof basic);
    }
    // One rename through the open handle, not ReplaceFileW: Wine's moves the old file aside,
    // deletes it and only then renames, so a failure between would leave no file at all, and
    // it leaves names of its own in the folder. What ReplaceFileW would carry over is set on
    // the staging file before.
    if (RenameOver(staging, m_target)) {
        m_pending = false;
        return TRUE;
    }
    const DWORD error = ::GetLastError();
    // Only an existing plain file can be in use; a missing folder, a bad name or a link at the
    // target is no such case.
    if (!m_inUseAllowed || !m_targetPlain || !MayBeInUse(error)) {
        ::SetLastError(error);
        return FALSE;
    }
    if (!ReplaceInUse(m_target, m_staging, staging, error, &m_how, &m_beside)) return FALSE;
    if (m_how == Replacement::AtRestart) m_beside = m_staging;
    m_pending = false;
    return TRUE;
}

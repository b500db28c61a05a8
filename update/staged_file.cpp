#include "update/staged_file.h"

#include <string>

#include "update/access_rules.h"
#include "update/rules_prefetch.h"
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

HANDLE StagedFile::Begin(const char* target, bool inUseAllowed) {
    m_inUseAllowed = inUseAllowed;
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

    const std::wstring folder(m_staging, FileNameStart(m_staging));
    if (inUseAllowed) SweepAsideFiles(folder);
    // Exclusive: a file planted under the staging name is never opened. A stale one of an earlier,
    // interrupted run (or a link planted there) is removed as a name, which never follows a
    // link, and the create is tried once more; whatever still stands refuses the row.
    HANDLE staging = CreateStaging(m_staging);
    if (staging == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS && ::DeleteFileW(m_staging)) {
        staging = CreateStaging(m_staging);
    }
    m_pending = staging != INVALID_HANDLE_VALUE;
    if (!m_pending || m_targetAttributes == INVALID_FILE_ATTRIBUTES) return staging;
    // A new file in the same folder usually gets the old file's rules already (those its folder
    // passes on); only rules of the old file's own are carried over, since writing them costs.
    AccessRules read;
    const AccessRules* old = RulesPrefetch::Find(m_target);
    if (old == nullptr && read.ReadFrom(m_target)) old = &read;
    if (old == nullptr) return staging;
    if (!old->SameAs(NewFileRulesOfThisRun().For(folder, staging))) old->ApplyTo(staging);
    return staging;
}

BOOL StagedFile::Commit(HANDLE staging) {
    if (!m_pending) return FALSE;
    DWORD kept = m_targetAttributes == INVALID_FILE_ATTRIBUTES ? 0 : m_targetAttributes & kKeptAttributes;
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
    // Only an existing file can be in use; a missing folder or a bad name is no such case.
    if (!m_inUseAllowed || m_targetAttributes == INVALID_FILE_ATTRIBUTES || !MayBeInUse(error)) {
        ::SetLastError(error);
        return FALSE;
    }
    if (!ReplaceInUse(m_target, m_staging, staging, error, &m_how, &m_beside)) return FALSE;
    if (m_how == Replacement::AtRestart) m_beside = m_staging;
    m_pending = false;
    return TRUE;
}

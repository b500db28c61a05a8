#include "update/staged_file.h"

#include <aclapi.h>

#include <cstring>

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

// The DACL of the open `file`, or of the file at `path`, as a self-relative security
// descriptor; nothing when it cannot be read.
afx::LocalMemory AccessRules(HANDLE file) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return {};
    }
    return afx::LocalMemory(descriptor);
}

afx::LocalMemory AccessRules(const wchar_t* path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                nullptr, &descriptor) != ERROR_SUCCESS) {
        return {};
    }
    return afx::LocalMemory(descriptor);
}

// What a descriptor says about access: its DACL (null: everyone may do anything) and whether
// the DACL is protected from what the folder passes on.
struct Dacl {
    PACL acl = nullptr;
    bool isProtected = false;
};

// False when the descriptor holds no DACL or cannot be read.
bool ReadDacl(PSECURITY_DESCRIPTOR descriptor, Dacl* dacl) {
    BOOL present = FALSE, defaulted = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl->acl, &defaulted) || !present) return false;
    if (!::GetSecurityDescriptorControl(descriptor, &control, &revision)) return false;
    dacl->isProtected = (control & SE_DACL_PROTECTED) != 0;
    return true;
}

// Whether two descriptors say the same about access: both protected or both not, and the same
// entries in the same order.
bool SameAccessRules(PSECURITY_DESCRIPTOR a, PSECURITY_DESCRIPTOR b) {
    Dacl first, second;
    if (!ReadDacl(a, &first) || !ReadDacl(b, &second) || first.isProtected != second.isProtected) return false;
    if (first.acl == nullptr || second.acl == nullptr) return first.acl == second.acl;
    if (first.acl->AceCount != second.acl->AceCount) return false;
    for (DWORD i = 0; i < first.acl->AceCount; ++i) {
        ACE_HEADER* aceA = nullptr;
        ACE_HEADER* aceB = nullptr;
        if (!::GetAce(first.acl, i, reinterpret_cast<void**>(&aceA)) ||
            !::GetAce(second.acl, i, reinterpret_cast<void**>(&aceB)) || aceA->AceSize != aceB->AceSize ||
            std::memcmp(aceA, aceB, aceA->AceSize) != 0) {
            return false;
        }
    }
    return true;
}

void ApplyAccessRules(HANDLE file, PSECURITY_DESCRIPTOR descriptor) {
    Dacl dacl;
    if (!ReadDacl(descriptor, &dacl)) return;
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | (dacl.isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                              : UNPROTECTED_DACL_SECURITY_INFORMATION);
    // Like ReplaceFileW told to ignore access-rule errors: the bytes matter more.
    ::SetSecurityInfo(file, SE_FILE_OBJECT, what, nullptr, nullptr, dacl.acl, nullptr);
}

}  // namespace

StagedFile::~StagedFile() {
    if (m_pending) ::DeleteFileW(m_staging);
}

HANDLE StagedFile::Begin(const char* target) {
    // The same conversion the ANSI file functions make, so the wide path names the same file.
    if (::MultiByteToWideChar(CP_ACP, 0, target, -1, m_target, MAX_PATH) <= 0 ||
        !StagingPathFor(m_target, m_staging)) {
        ::SetLastError(ERROR_BAD_PATHNAME);
        return INVALID_HANDLE_VALUE;
    }

    // One look at the name, without opening it: a missing folder, a folder under the target's
    // name and a read-only target refuse the row before anything is staged, as an open for
    // writing would. A target held open by another program is refused by the rename.
    m_targetAttributes = ::GetFileAttributesW(m_target);
    if (m_targetAttributes == INVALID_FILE_ATTRIBUTES) {
        if (::GetLastError() != ERROR_FILE_NOT_FOUND) return INVALID_HANDLE_VALUE;
    } else if (m_targetAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }

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
    afx::LocalMemory old = AccessRules(m_target);
    if (!old) return staging;
    afx::LocalMemory fresh = AccessRules(staging);
    if (!fresh || !SameAccessRules(fresh.get(), old.get())) ApplyAccessRules(staging, old.get());
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
    if (!RenameOver(staging, m_target)) return FALSE;
    m_pending = false;
    return TRUE;
}

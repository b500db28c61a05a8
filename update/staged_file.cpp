#include "update/staged_file.h"

#include <aclapi.h>

#include <cstring>
#include <cwchar>

namespace {

// What an old file passes on to its replacement. Read-only is not among them: a read-only
// target is refused before anything is staged. Archive is not either: the new file has just
// been written, so it is marked for the next backup as any written file is.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

HANDLE CreateStaging(const wchar_t* path) {
    return ::CreateFileW(path, GENERIC_WRITE | READ_CONTROL | WRITE_DAC, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// `file`'s DACL as a self-relative security descriptor; nothing when it cannot be read.
afx::LocalMemory AccessRules(HANDLE file) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
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

bool StagedFile::StagingPathFor(const wchar_t* target, wchar_t (&staging)[MAX_PATH]) {
    staging[0] = L'\0';
    size_t length = std::wcslen(target);
    if (length == 0 || length >= MAX_PATH || IsSeparator(target[length - 1]) || target[length - 1] == L':') {
        return false;
    }
    size_t nameStart = length;
    while (nameStart > 0 && !IsSeparator(target[nameStart - 1]) && target[nameStart - 1] != L':') --nameStart;
    size_t nameEnd = length - 1;
    // Never split a surrogate pair: drop the whole last character.
    if (nameEnd > nameStart && IS_LOW_SURROGATE(target[nameEnd]) && IS_HIGH_SURROGATE(target[nameEnd - 1])) {
        --nameEnd;
    }
    std::wmemcpy(staging, target, nameStart);
    staging[nameStart] = L'~';
    std::wmemcpy(staging + nameStart + 1, target + nameStart, nameEnd - nameStart);
    staging[nameStart + 1 + (nameEnd - nameStart)] = L'\0';
    return true;
}

HANDLE StagedFile::Begin(const char* target) {
    // The same conversion the ANSI file functions make, so the wide path names the same file.
    if (::MultiByteToWideChar(CP_ACP, 0, target, -1, m_target, MAX_PATH) <= 0) return INVALID_HANDLE_VALUE;
    if (!StagingPathFor(m_target, m_staging)) return INVALID_HANDLE_VALUE;

    // Whatever would have refused an open for writing (read-only, held by another program, a
    // missing folder, a folder under that name) refuses the row before anything is staged.
    afx::UniqueHandle existing(::CreateFileW(m_target, GENERIC_WRITE | READ_CONTROL, 0, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (existing) {
        // Only the attributes: the full file information also asks for the volume's, which
        // costs more than the rest of the row under Wine.
        FILE_BASIC_INFO info;
        if (!::GetFileInformationByHandleEx(existing.get(), FileBasicInfo, &info, sizeof info)) {
            return INVALID_HANDLE_VALUE;
        }
        m_targetAttributes = info.FileAttributes;
        m_targetSecurity = AccessRules(existing.get());
    } else if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
        return INVALID_HANDLE_VALUE;
    }
    existing.reset();

    // Exclusive: a file planted under the staging name is never opened. A stale one of an earlier,
    // interrupted run (or a link planted there) is removed as a name, which never follows a
    // link, and the create is tried once more; whatever still stands refuses the row.
    HANDLE staging = CreateStaging(m_staging);
    if (staging == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS && ::DeleteFileW(m_staging)) {
        staging = CreateStaging(m_staging);
    }
    m_pending = staging != INVALID_HANDLE_VALUE;
    if (!m_pending || !m_targetSecurity) return staging;
    // A new file in the same folder usually gets the old file's rules already (those its folder
    // passes on); only rules of the old file's own are carried over, since writing them costs.
    afx::LocalMemory fresh = AccessRules(staging);
    if (!fresh || !SameAccessRules(fresh.get(), m_targetSecurity.get())) {
        ApplyAccessRules(staging, m_targetSecurity.get());
    }
    return staging;
}

BOOL StagedFile::Commit() {
    if (!m_pending) return FALSE;
    DWORD kept = m_targetAttributes == INVALID_FILE_ATTRIBUTES ? 0 : m_targetAttributes & kKeptAttributes;
    // Most files have none of them, and the call costs as much as the rename under Wine.
    if (kept != 0) ::SetFileAttributesW(m_staging, kept | FILE_ATTRIBUTE_ARCHIVE);
    // One rename, not ReplaceFileW: Wine's moves the old file aside, deletes it and only then
    // renames, so a failure between would leave no file at all, and it leaves names of its own
    // in the folder. What ReplaceFileW would carry over is set on the staging file above.
    if (!::MoveFileExW(m_staging, m_target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return FALSE;
    m_pending = false;
    return TRUE;
}

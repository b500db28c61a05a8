#include "update/staged_file.h"

#include <aclapi.h>

#include <cwchar>
#include <utility>

namespace {

// What an old file passes on to its replacement. Read-only is not among them: a read-only
// target is refused before anything is staged.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

HANDLE CreateStaging(const wchar_t* path) {
    return ::CreateFileW(path, GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The security descriptor holding `file`'s DACL when that DACL says more than the folder passes
// on to every new file in it (protected, or with an entry of its own); else nothing, since a new
// file in the same folder gets the same rules.
afx::LocalMemory OwnAccessRules(HANDLE file) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return {};
    }
    afx::LocalMemory owned(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (dacl == nullptr || !::GetSecurityDescriptorControl(descriptor, &control, &revision)) return {};
    bool own = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; !own && i < dacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        own = ::GetAce(dacl, i, reinterpret_cast<void**>(&ace)) && (ace->AceFlags & INHERITED_ACE) == 0;
    }
    return own ? std::move(owned) : afx::LocalMemory();
}

void ApplyAccessRules(HANDLE file, PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present) return;
    if (!::GetSecurityDescriptorControl(descriptor, &control, &revision)) return;
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED)
                                                                  ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                  : UNPROTECTED_DACL_SECURITY_INFORMATION);
    // Like ReplaceFileW told to ignore access-rule errors: the bytes matter more.
    ::SetSecurityInfo(file, SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
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
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(existing.get(), &info)) return INVALID_HANDLE_VALUE;
        m_targetAttributes = info.dwFileAttributes;
        m_targetSecurity = OwnAccessRules(existing.get());
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
    if (m_pending && m_targetSecurity) ApplyAccessRules(staging, m_targetSecurity.get());
    return staging;
}

BOOL StagedFile::Commit() {
    if (!m_pending) return FALSE;
    DWORD kept = m_targetAttributes == INVALID_FILE_ATTRIBUTES ? 0 : m_targetAttributes & kKeptAttributes;
    if (kept != 0) ::SetFileAttributesW(m_staging, kept);
    // One rename, not ReplaceFileW: Wine's moves the old file aside, deletes it and only then
    // renames, so a failure between would leave no file at all, and it leaves names of its own
    // in the folder. What ReplaceFileW would carry over is set on the staging file above.
    if (!::MoveFileExW(m_staging, m_target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return FALSE;
    m_pending = false;
    return TRUE;
}

#include "update/staged_file.h"

#include <cwchar>

namespace {

// What an old file passes on to its replacement. Read-only is not among them: a read-only
// target is refused before anything is staged.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

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
    afx::UniqueHandle existing(
        ::CreateFileW(m_target, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (existing) {
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(existing.get(), &info)) return INVALID_HANDLE_VALUE;
        m_targetAttributes = info.dwFileAttributes;
    } else if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
        return INVALID_HANDLE_VALUE;
    }
    existing.reset();

    // A stale staging file, or a link planted under its name, is removed as a name: deleting
    // never follows a link. If something stays, the exclusive create below refuses it.
    ::DeleteFileW(m_staging);
    HANDLE staging =
        ::CreateFileW(m_staging, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_pending = staging != INVALID_HANDLE_VALUE;
    return staging;
}

BOOL StagedFile::Commit() {
    if (!m_pending) return FALSE;
    BOOL replaced = FALSE;
    if (m_targetAttributes == INVALID_FILE_ATTRIBUTES) {
        replaced = ::MoveFileExW(m_staging, m_target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    } else {
        // Windows carries the attributes over in ReplaceFileW; Wine's does not, so they are set
        // on the staging file first.
        DWORD kept = m_targetAttributes & kKeptAttributes;
        if (kept != 0) ::SetFileAttributesW(m_staging, kept);
        replaced = ::ReplaceFileW(m_target, m_staging, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    }
    if (replaced) m_pending = false;
    return replaced;
}

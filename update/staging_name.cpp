#include "update/staging_name.h"

#include <cwchar>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

bool StagingPathFor(const wchar_t* target, wchar_t (&staging)[MAX_PATH]) {
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

BOOL RenameOver(HANDLE file, const wchar_t* target) {
    const size_t length = std::wcslen(target);
    if (length >= MAX_PATH) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    union {
        FILE_RENAME_INFO info;
        BYTE bytes[sizeof(FILE_RENAME_INFO) + MAX_PATH * sizeof(wchar_t)];
    } rename = {};
    rename.info.ReplaceIfExists = TRUE;
    rename.info.RootDirectory = nullptr;
    rename.info.FileNameLength = static_cast<DWORD>(length * sizeof(wchar_t));
    std::wmemcpy(rename.info.FileName, target, length + 1);
    return ::SetFileInformationByHandle(file, FileRenameInfo, &rename, sizeof rename);
}

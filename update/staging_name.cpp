#include "update/staging_name.h"

#include <cwchar>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

size_t FileNameStart(const wchar_t* path) {
    size_t start = std::wcslen(path);
    while (start > 0 && !IsSeparator(path[start - 1]) && path[start - 1] != L':') --start;
    return start;
}

bool StagingPathFor(const wchar_t* target, wchar_t (&staging)[MAX_PATH]) {
    staging[0] = L'\0';
    size_t length = std::wcslen(target);
    if (length == 0 || length >= MAX_PATH || IsSeparator(target[length - 1]) || target[length - 1] == L':') {
        return false;
    }
    const size_t nameStart = FileNameStart(target);
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

namespace {

BOOL Rename(HANDLE file, const wchar_t* target, bool replace) {
    const size_t length = std::wcslen(target);
    if (length >= MAX_PATH) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    union {
        FILE_RENAME_INFO info;
        BYTE bytes[sizeof(FILE_RENAME_INFO) + MAX_PATH * sizeof(wchar_t)];
    } rename = {};
    rename.info.ReplaceIfExists = replace;
    rename.info.RootDirectory = nullptr;
    rename.info.FileNameLength = static_cast<DWORD>(length * sizeof(wchar_t));
    std::wmemcpy(rename.info.FileName, target, length + 1);
    return ::SetFileInformationByHandle(file, FileRenameInfo, &rename, sizeof rename);
}

}  // namespace

BOOL RenameOver(HANDLE file, const wchar_t* target) { return Rename(file, target, true); }

BOOL RenameTo(HANDLE file, const wchar_t* path) { return Rename(file, path, false); }

BOOL DeleteThroughHandle(HANDLE file) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

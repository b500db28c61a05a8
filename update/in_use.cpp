#include "update/in_use.h"

#include <ntsecapi.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "afx/handles.h"
#include "update/staging_name.h"

namespace {

constexpr wchar_t kAsideMark[] = L".~";
constexpr size_t kAsideDigits = 8;

// The run's own digits: random, so that no one can foresee the names, and fixed for the run.
const wchar_t* RunDigits() {
    static wchar_t digits[kAsideDigits + 1] = L"";
    if (digits[0] == L'\0') {
        ULONG token = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
        RtlGenRandom(&token, sizeof token);
        std::swprintf(digits, kAsideDigits + 1, L"%08lx", token);
    }
    return digits;
}

bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); }

}  // namespace

bool AsidePathFor(const wchar_t* target, wchar_t (&aside)[MAX_PATH]) {
    aside[0] = L'\0';
    const size_t length = std::wcslen(target);
    if (length == 0 || FileNameStart(target) == length) return false;
    if (length + std::wcslen(kAsideMark) + kAsideDigits >= MAX_PATH) return false;
    std::swprintf(aside, MAX_PATH, L"%ls%ls%ls", target, kAsideMark, RunDigits());
    return true;
}

bool IsAsideName(const wchar_t* name) {
    const size_t length = std::wcslen(name);
    const size_t markLength = std::wcslen(kAsideMark);
    if (length <= markLength + kAsideDigits) return false;
    const wchar_t* mark = name + length - kAsideDigits - markLength;
    if (std::wcsncmp(mark, kAsideMark, markLength) != 0) return false;
    return std::all_of(mark + markLength, name + length, IsHexDigit);
}

bool MayBeInUse(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

bool ReplaceInUse(const wchar_t* target, const wchar_t* staging, HANDLE stagingHandle, DWORD renameError,
                  Replacement* how, std::wstring* aside) {
    aside->clear();
    // Opened as itself, never through a link planted there, and for nothing but moving it:
    // sharing everything, so that only a holder that shares no deletion refuses it.
    afx::UniqueHandle old(::CreateFileW(target, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!old) {
        if (::GetLastError() != ERROR_SHARING_VIOLATION) {
            ::SetLastError(renameError);
            return false;
        }
        // Not even a move is allowed until the holder lets go: the system replaces it as it
        // starts, before any program can hold it.
        if (!::MoveFileExW(staging, target, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) return false;
        *how = Replacement::AtRestart;
        return true;
    }
    wchar_t asidePath[MAX_PATH];
    if (!AsidePathFor(target, asidePath) || !RenameTo(old.get(), asidePath)) {
        ::SetLastError(renameError);
        return false;
    }
    if (!RenameOver(stagingHandle, target)) {
        const DWORD error = ::GetLastError();
        // The old file goes back under its name: a failed row keeps its target.
        RenameTo(old.get(), target);
        ::SetLastError(error);
        return false;
    }
    old.reset();
    // The holder keeps the old bytes until it lets go; a run that is not allowed to schedule
    // the deletion leaves the file to a later run's sweep.
    ::MoveFileExW(asidePath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    *how = Replacement::OldMovedAside;
    *aside = asidePath;
    return true;
}

void SweepAsideFiles(const std::wstring& folder) {
    static std::vector<std::wstring> swept;
    if (std::find(swept.begin(), swept.end(), folder) != swept.end()) return;
    swept.push_back(folder);
    WIN32_FIND_DATAW found;
    afx::FindHandle find(::FindFirstFileExW((folder + L"*" + kAsideMark + L"*").c_str(), FindExInfoBasic, &found,
                                            FindExSearchNameMatch, nullptr, 0));
    if (!find) return;
    do {
        // The pattern also matches short names: only the long name says whose it is.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsAsideName(found.cFileName)) continue;
        ::DeleteFileW((folder + found.cFileName).c_str());
    } while (::FindNextFileW(find.get(), &found));
}

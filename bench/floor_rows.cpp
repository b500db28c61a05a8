#include "bench/floor_rows.h"

#include <cwchar>

#include "afx/handles.h"
#include "afx/resource_view.h"
#include "update/catalogue.h"
#include "update/drivers_dir.h"
#include "update/staging_name.h"

namespace bench {

namespace {

bool IsWow64() {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

// `base` followed by the row's relative path, in the ANSI code page; false when it does not fit.
bool TargetPath(const wchar_t* base, const PayloadEntry& row, char (&target)[MAX_PATH]) {
    wchar_t wide[MAX_PATH];
    size_t baseLength = std::wcslen(base);
    size_t relativeLength = std::wcslen(row.relativePath);
    if (baseLength + relativeLength >= MAX_PATH) return false;
    std::wmemcpy(wide, base, baseLength);
    std::wmemcpy(wide + baseLength, row.relativePath, relativeLength + 1);
    return ::WideCharToMultiByte(CP_ACP, 0, wide, -1, target, MAX_PATH, nullptr, nullptr) > 0;
}

bool WriteAll(HANDLE file, const afx::ResourceView& payload) {
    DWORD written = 0;
    return ::WriteFile(file, payload.data, payload.size, &written, nullptr) && written == payload.size;
}

bool WriteRowInPlace(const PayloadEntry& row, const char* target) {
    afx::ResourceView payload;
    if (!afx::FindResourceView(nullptr, row.resourceType, row.resourceId, &payload)) return false;

    afx::UniqueHandle file(
        ::CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.get(), payload);
}

// Programs and drivers that stay in place must reach the disk before they replace their targets.
bool Flushed(const PayloadEntry& row) {
    return row.group != PayloadGroup::Skin && row.base != PayloadBase::TempDir;
}

bool WriteRowWhole(const PayloadEntry& row, const char* target) {
    afx::ResourceView payload;
    if (!afx::FindResourceView(nullptr, row.resourceType, row.resourceId, &payload)) return false;

    wchar_t wideTarget[MAX_PATH];
    wchar_t staging[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, target, -1, wideTarget, MAX_PATH) <= 0 ||
        !StagingPathFor(wideTarget, staging)) {
        return false;
    }
    afx::UniqueHandle file(::CreateFileW(staging, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    if (WriteAll(file.get(), payload) && (!Flushed(row) || ::FlushFileBuffers(file.get())) &&
        RenameOver(file.get(), wideTarget)) {
        return true;
    }
    FILE_DISPOSITION_INFO discard = {TRUE};
    ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &discard, sizeof discard);
    return false;
}

}  // namespace

bool InstallDirFromCommandLine(wchar_t (&root)[MAX_PATH]) {
    const wchar_t* p = ::GetCommandLineW();
    if (*p == L'"') {
        for (++p; *p != L'\0' && *p != L'"'; ++p) {
        }
        if (*p == L'"') ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    size_t length = std::wcslen(p);
    while (length > 0 && (p[length - 1] == L' ' || p[length - 1] == L'\t')) --length;
    if (length >= 2 && p[0] == L'"' && p[length - 1] == L'"') {
        ++p;
        length -= 2;
    }
    if (length == 0 || length >= MAX_PATH) return false;
    std::wmemcpy(root, p, length);
    root[length] = L'\0';
    return true;
}

bool WriteRows(const wchar_t* root, RowWrite how) {
    wchar_t temp[MAX_PATH];
    wchar_t system[MAX_PATH];
    DWORD tempLength = ::GetTempPathW(MAX_PATH, temp);
    const bool wow64 = IsWow64();
    // The drivers go where Windows loads them from, as the updater's do.
    if (tempLength == 0 || tempLength >= MAX_PATH || !DriversBaseDir(wow64, system)) return false;

    bool complete = true;
    for (int number = 1; number <= PayloadCatalogue::Count(); ++number) {
        const PayloadEntry& row = PayloadCatalogue::Row(number);
        if (!PayloadCatalogue::Applies(row, wow64, false)) continue;
        const wchar_t* base = nullptr;
        switch (row.base) {
        case PayloadBase::TempDir: base = temp; break;
        case PayloadBase::SystemDir: base = system; break;
        case PayloadBase::InstallDir: base = root; break;
        case PayloadBase::CompanionPath: continue;
        }
        char target[MAX_PATH];
        const bool written = TargetPath(base, row, target) &&
                             (how == RowWrite::Whole ? WriteRowWhole(row, target) : WriteRowInPlace(row, target));
        if (!written) {
            complete = false;
            continue;
        }
        // The temporary copy only serves while the product is stopped; the updater deletes it.
        if (row.base == PayloadBase::TempDir) ::DeleteFileA(target);
    }
    return complete;
}

}  // namespace bench

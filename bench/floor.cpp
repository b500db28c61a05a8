// The benchmark's floor: the least a program can do to put the update's files in place. It
// writes, from its own embedded resources (the updater's resource objects), the rows the
// updater writes on an installation with no companion registered: the support library's
// temporary copy (deleted again right after), the driver pair of this Windows' bitness, the
// support library and the product, and the skin. One CreateFileA, one WriteFile straight from
// the locked resource and one CloseHandle per row; no registry, no probes, no waits.
//
// With --whole it is the least a program can do without ever leaving a file cut short, started
// as the updater must start: it imports user32 and looks once for the product's window (the
// updater does so on every run, and user32's start is a good part of a short run under Wine),
// then each row goes into a staging file beside its target (the updater's staging name),
// programs and drivers are flushed, and the staging file is renamed over the target through
// its own handle.
//
// usage: floor.exe [--whole] <install directory>      (quoted or not; nothing after it)
// exit code: 0 when every row was written, 1 otherwise (2: no install directory given).
#include <windows.h>

#include <cwchar>

#include "afx/handles.h"
#include "afx/resource_view.h"
#include "suite/suite_stopper.h"
#include "update/catalogue.h"
#include "update/drivers_dir.h"
#include "update/staging_name.h"

namespace {

constexpr wchar_t kWholeSwitch[] = L"--whole ";

// The command tail after the program name and an optional --whole (*whole says whether it was
// there), surrounding blanks and quotes removed. False when it is empty or does not fit.
bool InstallDirFromCommandLine(wchar_t (&root)[MAX_PATH], bool* whole) {
    const wchar_t* p = ::GetCommandLineW();
    if (*p == L'"') {
        for (++p; *p != L'\0' && *p != L'"'; ++p) {
        }
        if (*p == L'"') ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    *whole = std::wcsncmp(p, kWholeSwitch, std::wcslen(kWholeSwitch)) == 0;
    if (*whole) p += std::wcslen(kWholeSwitch);
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

bool WriteRow(const PayloadEntry& row, const char* target) {
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

// The staging file, written, flushed for programs and drivers that stay, and renamed over the
// target through its own handle; removed again when anything fails.
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

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t root[MAX_PATH];
    bool whole = false;
    if (!InstallDirFromCommandLine(root, &whole)) return 2;
    wchar_t temp[MAX_PATH];
    wchar_t system[MAX_PATH];
    DWORD tempLength = ::GetTempPathW(MAX_PATH, temp);
    const bool wow64 = IsWow64();
    // The drivers go where Windows loads them from, as the updater's do.
    if (tempLength == 0 || tempLength >= MAX_PATH || !DriversBaseDir(wow64, system)) return 1;
    // The product's window is only looked for: on the benchmark's installation none runs, and
    // stopping it is the updater's work, not a floor's.
    if (whole) ::FindWindowW(suite::kProductWindowClass, suite::kProductWindowTitle);

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
        if (!TargetPath(base, row, target) || !(whole ? WriteRowWhole(row, target) : WriteRow(row, target))) {
            complete = false;
            continue;
        }
        // The temporary copy only serves while the product is stopped; the updater deletes it.
        if (row.base == PayloadBase::TempDir) ::DeleteFileA(target);
    }
    return complete ? 0 : 1;
}

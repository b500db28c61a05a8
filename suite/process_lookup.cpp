#include "suite/process_lookup.h"

#include <tlhelp32.h>
#include <psapi.h>
#include <shlwapi.h>

namespace {

constexpr DWORD kMaxListedProcesses = 512;

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// A snapshot names every process without opening it, but under Wine taking one costs more than
// opening each listed process for its image's path.
afx::UniqueHandle OpenFromSnapshot(HANDLE snapshot, const wchar_t* imageName, DWORD access) {
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == 0) continue;
        if (!suite::ImageNamesEqual(entry.szExeFile, imageName)) continue;
        afx::UniqueHandle process(::OpenProcess(access, FALSE, entry.th32ProcessID));
        if (process) return process;
    }
    return afx::UniqueHandle();
}

// Each listed process opened for its image's path alone, which every process grants to an
// administrator; only a match is opened with `access`. *listed is false when the processes
// could not all be listed (the list failed or filled the buffer).
afx::UniqueHandle OpenFromImagePaths(const wchar_t* imageName, DWORD access, bool* listed) {
    DWORD aProcesses[kMaxListedProcesses] = {};
    DWORD cbNeeded = 0;
    *listed = ::EnumProcesses(aProcesses, sizeof aProcesses, &cbNeeded) && cbNeeded < sizeof aProcesses;
    if (!*listed) return afx::UniqueHandle();
    const DWORD count = cbNeeded / sizeof(DWORD);
    wchar_t image[MAX_PATH];
    for (DWORD i = 0; i < count; ++i) {
        if (aProcesses[i] == 0) continue;
        afx::UniqueHandle named(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, aProcesses[i]));
        DWORD length = MAX_PATH;
        if (!named || !::QueryFullProcessImageNameW(named.get(), 0, image, &length)) continue;
        if (!suite::ImageNamesEqual(::PathFindFileNameW(image), imageName)) continue;
        afx::UniqueHandle process(::OpenProcess(access, FALSE, aProcesses[i]));
        if (process) return process;
    }
    return afx::UniqueHandle();
}

}  // namespace

namespace suite {

bool ImageNamesEqual(const wchar_t* a, const wchar_t* b) {
    for (; *a != L'\0' && *b != L'\0'; ++a, ++b) {
        if (AsciiLower(*a) != AsciiLower(*b)) return false;
    }
    return *a == *b;
}

afx::UniqueHandle OpenFirstProcessNamed(const wchar_t* imageName, DWORD access) {
    bool listed = false;
    afx::UniqueHandle found = OpenFromImagePaths(imageName, access, &listed);
    if (listed) return found;
    afx::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return afx::UniqueHandle();
    return OpenFromSnapshot(snapshot.get(), imageName, access);
}

}  // namespace suite

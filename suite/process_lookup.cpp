#include "suite/process_lookup.h"

#include <tlhelp32.h>
#include <psapi.h>

namespace {

constexpr DWORD kMaxListedProcesses = 512;

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// The snapshot names every process without opening it: only a match costs an open.
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

// Without a snapshot each process must be opened to learn its name.
afx::UniqueHandle OpenFromProcessList(const wchar_t* imageName, DWORD access) {
    DWORD aProcesses[kMaxListedProcesses] = {};
    DWORD cbNeeded = 0;
    if (!::EnumProcesses(aProcesses, sizeof aProcesses, &cbNeeded)) return afx::UniqueHandle();
    const DWORD count = cbNeeded / sizeof(DWORD);

    wchar_t wchProcessName_Get[MAX_PATH] = L"";
    for (DWORD i = 0; i < count && i < kMaxListedProcesses; ++i) {
        if (aProcesses[i] == 0) continue;
        afx::UniqueHandle process(::OpenProcess(access | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                                aProcesses[i]));
        if (!process) continue;

        HMODULE hMod = nullptr;
        DWORD cbModules = 0;
        if (!::EnumProcessModules(process.get(), &hMod, sizeof hMod, &cbModules)) continue;
        if (::GetModuleBaseNameW(process.get(), hMod, wchProcessName_Get, MAX_PATH) == 0) continue;
        if (suite::ImageNamesEqual(wchProcessName_Get, imageName)) return process;
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
    afx::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return OpenFromProcessList(imageName, access);
    return OpenFromSnapshot(snapshot.get(), imageName, access);
}

}  // namespace suite

#include "pending_renames.h"

#include <windows.h>

#include "test_env.h"

namespace testenv {

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

std::wstring WithoutNtPrefix(std::wstring path) {
    if (path.compare(0, 4, L"\\??\\") == 0) path.erase(0, 4);
    return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::vector<PendingRename> PendingRenames() {
    DWORD bytes = 0;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ,
                       nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
        return {};
    }
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (text.empty() || ::RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations",
                                       RRF_RT_REG_MULTI_SZ, nullptr, &text[0], &bytes) != ERROR_SUCCESS) {
        return {};
    }
    text.resize(bytes / sizeof(wchar_t));
    // Pairs of strings, a source and a target ("!" before it: replace what is there; empty:
    // delete), so an empty string does not end the list: the size does, and its terminator
    // leaves one string over.
    std::vector<std::wstring> strings;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(L'\0', at);
        if (end == std::wstring::npos) end = text.size();
        strings.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    std::vector<PendingRename> renames;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        PendingRename rename;
        rename.from = WithoutNtPrefix(strings[i]);
        std::wstring to = strings[i + 1];
        rename.replace = !to.empty() && to[0] == L'!';
        rename.to = WithoutNtPrefix(rename.replace ? to.substr(1) : to);
        renames.push_back(rename);
    }
    return renames;
}

bool IsPending(const std::wstring& from, const std::wstring& to) {
    for (const PendingRename& rename : PendingRenames()) {
        if (SamePath(rename.from, from) && (to.empty() ? rename.to.empty() : SamePath(rename.to, to))) return true;
    }
    return false;
}

bool CarryOutPendingRenames() {
    ChildProcess restart;
    if (!restart.Start(L"wineboot.exe -r")) return false;
    return restart.Wait(60000) && restart.ExitCode() == 0;
}

}  // namespace testenv

#include "update/install_tree.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

#include "afx/handles.h"
#include "update/run_log.h"

namespace {

// What this run found of each folder it looked at: whether it is a plain folder.
std::vector<std::pair<std::wstring, bool>>& FoldersLookedAt() {
    static std::vector<std::pair<std::wstring, bool>> folders;
    return folders;
}

bool IsPlainFolder(const std::wstring& folder) {
    auto& seen = FoldersLookedAt();
    for (const auto& entry : seen) {
        if (entry.first == folder) return entry.second;
    }
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    const bool plain = attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    seen.emplace_back(folder, plain);
    if (!plain && runlog::On()) {
        runlog::Write("folder %s: a link (junction, symbolic link or mount point) inside the install directory; "
                      "no file is written through it",
                      runlog::Utf8(folder.c_str()).c_str());
    }
    return plain;
}

}  // namespace

bool InstallFoldersArePlain(const wchar_t* installDir, const wchar_t* target, std::wstring* link) {
    const size_t base = std::wcslen(installDir);
    const std::wstring path(target);
    if (path.compare(0, base, installDir) != 0) return true;
    // Each separator after the install directory ends one folder of the row's relative path.
    for (size_t at = path.find(L'\\', base + 1); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        if (path[at - 1] == L'\\') continue;
        const std::wstring folder = path.substr(0, at);
        if (!IsPlainFolder(folder)) {
            *link = folder;
            return false;
        }
    }
    return true;
}

std::wstring MeantFolder(const wchar_t* installDir, const wchar_t* target) {
    static std::wstring dirAsNamed, dirFinal;
    if (dirAsNamed != installDir) {
        afx::UniqueHandle dir(::CreateFileW(installDir, FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!dir) return {};
        dirFinal = FinalPath(dir.get());
        if (dirFinal.empty()) return {};
        while (dirFinal.size() > 1 && dirFinal.back() == L'\\') dirFinal.pop_back();
        dirAsNamed = installDir;
    }
    const std::wstring relative = FolderOf(target + std::wcslen(installDir));
    size_t start = 0;
    while (start < relative.size() && relative[start] == L'\\') ++start;
    return start < relative.size() ? dirFinal + L"\\" + relative.substr(start) : dirFinal;
}

std::wstring FinalPath(HANDLE file) {
    wchar_t path[MAX_PATH + 64];
    const DWORD length = ::GetFinalPathNameByHandleW(file, path, MAX_PATH + 64, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= MAX_PATH + 64) return {};
    return std::wstring(path, length);
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t last = path.find_last_of(L'\\');
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last);
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

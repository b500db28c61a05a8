#include "update/run_log_file.h"

#include <vector>

#include "update/run_log_text.h"

namespace runlog {

namespace {

// Append-only: without FILE_WRITE_DATA no write can land anywhere but at the end. Reading
// attributes is what the checks need.
constexpr DWORD kLogAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Another run (one that ends with 1618, say) may log to the same file at the same time; each
// line is one write of its own, so lines never mix.
constexpr DWORD kLogSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

std::wstring ExpandEnvironment(const std::wstring& text) {
    std::vector<wchar_t> expanded(kMaxPolicyPathChars + 1);
    const DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), kMaxPolicyPathChars + 1);
    // The count includes the terminator; 0 is a failure, more than the buffer does not fit.
    if (needed == 0 || needed > kMaxPolicyPathChars + 1) return {};
    return expanded.data();
}

// Opens `path` as the log without following it and checks what was opened. `sizeBytes` gets
// the file's size.
afx::UniqueHandle OpenChecked(const std::wstring& path, unsigned long long* sizeBytes) {
    afx::UniqueHandle file(::CreateFileW(path.c_str(), kLogAccess, kLogSharing, nullptr, OPEN_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return {};
    // A device (a serial port, a console, NUL) or a pipe planted under the log's name.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return {};
    // Two small queries rather than GetFileInformationByHandle, which also asks for the volume.
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    if (!::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard)) {
        return {};
    }
    // A symbolic link or junction opened as itself, a folder, or a second name of a file that
    // lives elsewhere (a hard link) that the run must never append to.
    if ((basic.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) return {};
    if (standard.Directory || standard.NumberOfLinks != 1) return {};
    *sizeBytes = static_cast<unsigned long long>(standard.EndOfFile.QuadPart);
    return file;
}

}  // namespace

std::wstring PolicyLogPath() {
    afx::RegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) !=
        ERROR_SUCCESS) {
        return {};
    }
    // One code unit more than is offered, zeroed, so the text is terminated even when the
    // stored value carries no terminator.
    std::vector<wchar_t> data(kMaxPolicyPathChars + 2, L'\0');
    DWORD type = REG_NONE;
    DWORD bytes = (kMaxPolicyPathChars + 1) * sizeof(wchar_t);
    if (::RegQueryValueExW(key.get(), kPolicyValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    std::wstring path(data.data());
    if (path.size() > kMaxPolicyPathChars) return {};
    if (type == REG_EXPAND_SZ && !path.empty()) path = ExpandEnvironment(path);
    if (path.empty() || !IsFullPath(path)) return {};
    return path;
}

afx::UniqueHandle OpenLogFile(const std::wstring& path) {
    unsigned long long size = 0;
    afx::UniqueHandle file = OpenChecked(path, &size);
    if (!file || !ShouldRotate(size)) return file;
    file.reset();
    // A rename moves the name itself, never what a link there points at; an old log that
    // cannot be replaced leaves this run without a log rather than one that grows for ever.
    if (!::MoveFileExW(path.c_str(), RotatedPath(path).c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    return OpenChecked(path, &size);
}

}  // namespace runlog

#include "suite/temp_folder.h"

#include <ntsecapi.h>
#include <sddl.h>

#include <cwchar>
#include <vector>

#include "afx/handles.h"
#include "update/staging_name.h"

namespace suite {

namespace {

constexpr wchar_t kSupportLibraryName[] = L"Quorvel.dll";
constexpr int kNameTries = 8;

// The folder of the TempRunFolder that exists now; empty when none does.
std::wstring& CurrentFolder() {
    static std::wstring folder;
    return folder;
}

// The temporary directory, with a trailing backslash: SYSTEM's own where the system can say.
std::wstring TempDirectory() {
    typedef DWORD(WINAPI * GetTempPath2Fn)(DWORD, LPWSTR);
    const auto getTempPath2 = reinterpret_cast<GetTempPath2Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W")));
    wchar_t path[MAX_PATH + 1] = L"";
    const DWORD length = getTempPath2 != nullptr ? getTempPath2(MAX_PATH + 1, path) : ::GetTempPathW(MAX_PATH + 1, path);
    if (length == 0 || length > MAX_PATH) return {};
    std::wstring dir(path, length);
    if (dir.back() != L'\\') dir += L'\\';
    return dir;
}

// The running account's SID as text ("S-1-5-18" for SYSTEM); empty when it cannot be read.
std::wstring UserSid() {
    afx::UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
    afx::LocalMemory owned(text);
    return text;
}

std::wstring RandomName() {
    unsigned long long token = ::GetTickCount64() ^ (static_cast<unsigned long long>(::GetCurrentProcessId()) << 32);
    RtlGenRandom(&token, sizeof token);
    wchar_t name[40];
    std::swprintf(name, 40, L"Pelmora update %016llx", token);
    return name;
}

}  // namespace

TempRunFolder::~TempRunFolder() {
    if (m_path.empty()) return;
    DeleteCopy();
    ::RemoveDirectoryW(m_path.c_str());
    CurrentFolder().clear();
}

bool TempRunFolder::Create() {
    const std::wstring base = TempDirectory();
    const std::wstring user = UserSid();
    if (base.empty() || user.empty()) return false;
    // Protected: nothing the temporary directory passes on applies; what is made inside
    // inherits these three entries alone.
    const std::wstring sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return false;
    }
    afx::LocalMemory owned(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        const std::wstring folder = base + RandomName();
        if (folder.size() + 1 + std::wcslen(kSupportLibraryName) >= MAX_PATH) return false;
        if (::CreateDirectoryW(folder.c_str(), &attributes)) {
            m_path = folder + L"\\";
            CurrentFolder() = m_path;
            return true;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

bool TempRunFolder::DeleteCopy(DWORD* error) {
    if (m_path.empty()) return true;
    afx::UniqueHandle copy(::CreateFileW((m_path + kSupportLibraryName).c_str(), DELETE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!copy) {
        const DWORD reason = ::GetLastError();
        if (reason == ERROR_FILE_NOT_FOUND) return true;
        if (error != nullptr) *error = reason;
        return false;
    }
    if (DeleteThroughHandle(copy.get())) return true;
    if (error != nullptr) *error = ::GetLastError();
    return false;
}

std::wstring TempSupportLibraryPath() {
    const std::wstring& folder = CurrentFolder();
    return folder.empty() ? std::wstring() : folder + kSupportLibraryName;
}

}  // namespace suite

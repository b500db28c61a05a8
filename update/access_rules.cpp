#include "update/access_rules.h"

#include <aclapi.h>

#include <cstring>

#include "afx/handles.h"
#include "update/install_tree.h"

namespace {

// Enough for the rules of almost any file, so that one request reads them.
constexpr DWORD kFirstReadBytes = 1024;

// What a descriptor says about access: its DACL (null: everyone may do anything) and whether
// the DACL is protected from what the folder passes on. False when it holds no DACL.
struct Dacl {
    PACL acl = nullptr;
    bool isProtected = false;
};

bool ReadDacl(PSECURITY_DESCRIPTOR descriptor, Dacl* dacl) {
    BOOL present = FALSE, defaulted = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl->acl, &defaulted) || !present) return false;
    if (!::GetSecurityDescriptorControl(descriptor, &control, &revision)) return false;
    dacl->isProtected = (control & SE_DACL_PROTECTED) != 0;
    return true;
}

}  // namespace

bool AccessRules::ReadFrom(HANDLE file) {
    m_descriptor.resize(kFirstReadBytes);
    DWORD needed = 0;
    if (!::GetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, m_descriptor.data(), kFirstReadBytes,
                                   &needed)) {
        m_descriptor.resize(needed);
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0 ||
            !::GetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, m_descriptor.data(), needed, &needed)) {
            m_descriptor.clear();
            return false;
        }
    }
    return true;
}

bool AccessRules::ReadFrom(const wchar_t* path) {
    m_descriptor.clear();
    m_finalPath.clear();
    afx::UniqueHandle file(::CreateFileW(path, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return false;
    // A link's own rules say nothing about the file that replaces it.
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return false;
    }
    m_finalPath = ::FinalPath(file.get());
    if (m_finalPath.empty()) return false;
    return ReadFrom(file.get());
}

bool AccessRules::SameAs(const AccessRules& other) const {
    if (Empty() || other.Empty()) return false;
    Dacl first, second;
    if (!ReadDacl(const_cast<BYTE*>(m_descriptor.data()), &first) ||
        !ReadDacl(const_cast<BYTE*>(other.m_descriptor.data()), &second) || first.isProtected != second.isProtected) {
        return false;
    }
    if (first.acl == nullptr || second.acl == nullptr) return first.acl == second.acl;
    if (first.acl->AceCount != second.acl->AceCount) return false;
    for (DWORD i = 0; i < first.acl->AceCount; ++i) {
        ACE_HEADER* aceA = nullptr;
        ACE_HEADER* aceB = nullptr;
        if (!::GetAce(first.acl, i, reinterpret_cast<void**>(&aceA)) ||
            !::GetAce(second.acl, i, reinterpret_cast<void**>(&aceB)) || aceA->AceSize != aceB->AceSize ||
            std::memcmp(aceA, aceB, aceA->AceSize) != 0) {
            return false;
        }
    }
    return true;
}

void AccessRules::ApplyTo(HANDLE file) const {
    Dacl dacl;
    if (Empty() || !ReadDacl(const_cast<BYTE*>(m_descriptor.data()), &dacl)) return;
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | (dacl.isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                              : UNPROTECTED_DACL_SECURITY_INFORMATION);
    ::SetSecurityInfo(file, SE_FILE_OBJECT, what, nullptr, nullptr, dacl.acl, nullptr);
}

const AccessRules& NewFileRules::For(const std::wstring& folder, HANDLE staging) {
    if (folder != m_folder || m_rules.Empty()) {
        m_folder = folder;
        m_rules.ReadFrom(staging);
    }
    return m_rules;
}

#include "machine_registry.h"

namespace suitetest {

namespace {

constexpr wchar_t kScratchKey[] = L"Software\\HalvernTests\\SuiteMachineHive";

}  // namespace

PrivateMachineHive::PrivateMachineHive() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, m_scratch.put(),
                          nullptr) != ERROR_SUCCESS) {
        return;
    }
    m_ok = ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_scratch.get()) == ERROR_SUCCESS;
}

PrivateMachineHive::~PrivateMachineHive() {
    if (m_ok) ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    m_scratch.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
}

// Each writer refuses to run without the override: it would change the real machine hive.
void PrivateMachineHive::DeleteKey(const wchar_t* subkey) {
    if (m_ok) ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, subkey);
}

bool PrivateMachineHive::CreateKey(const wchar_t* subkey) {
    if (!m_ok) return false;
    afx::RegKey key;
    return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                             nullptr) == ERROR_SUCCESS;
}

bool PrivateMachineHive::SetString(const wchar_t* subkey, const wchar_t* name, const std::wstring& text) {
    std::string bytes = Utf16Bytes(text);
    bytes.append(sizeof(wchar_t), '\0');
    return SetRaw(subkey, name, REG_SZ, bytes);
}

bool PrivateMachineHive::SetRaw(const wchar_t* subkey, const wchar_t* name, DWORD type, const std::string& bytes) {
    if (!m_ok) return false;
    afx::RegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    // A string value whose data is followed in memory by a null character is stored with that
    // terminator counted in; non-null bytes behind the data keep the length exactly as given.
    const std::string guarded = bytes + "\xff\xff\xff\xff";
    return ::RegSetValueExW(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                            static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

}  // namespace suitetest

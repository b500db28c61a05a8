#include "suite/registry_value.h"

#include <cwchar>

#include "afx/handles.h"

namespace suite {

bool ReadMachineString(const wchar_t* subkey, const wchar_t* valueName, wchar_t* buffer, size_t capacity) {
    if (buffer == nullptr || capacity < kRegistryTextChars) return false;

    afx::RegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return false;
    }

    // One byte more than is offered, zeroed, so that whatever the query writes is followed
    // by a terminator even when the stored value carries none or has an odd length.
    wchar_t data[kRegistryTextChars] = {};
    DWORD dwKeyType = 0;
    DWORD dwBufLen = kRegistryValueBytes;
    LONG status = ::RegQueryValueExW(key.get(), valueName, nullptr, &dwKeyType, reinterpret_cast<BYTE*>(data),
                                     &dwBufLen);
    if (status != ERROR_SUCCESS || dwBufLen > kRegistryValueBytes) return false;

    // A dangling odd byte is half a code unit: drop it rather than guess its other half.
    data[dwBufLen / sizeof(wchar_t)] = L'\0';
    std::wmemcpy(buffer, data, kRegistryTextChars);
    return true;
}

}  // namespace suite

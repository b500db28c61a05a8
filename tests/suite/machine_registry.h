// A private HKEY_LOCAL_MACHINE for registry tests: for the object's life this process's
// HKEY_LOCAL_MACHINE is a scratch key below HKEY_CURRENT_USER, so the code under test reads
// real registry values without the prefix's machine hive being touched.
#pragma once

#include <windows.h>

#include <string>

#include "afx/handles.h"

namespace suitetest {

class PrivateMachineHive {
public:
    PrivateMachineHive();
    ~PrivateMachineHive();
    PrivateMachineHive(const PrivateMachineHive&) = delete;
    PrivateMachineHive& operator=(const PrivateMachineHive&) = delete;

    bool ok() const { return m_ok; }

    // Removes HKEY_LOCAL_MACHINE\`subkey` with everything below it (nothing when absent).
    void DeleteKey(const wchar_t* subkey);
    // Creates HKEY_LOCAL_MACHINE\`subkey` with no values. True on success.
    bool CreateKey(const wchar_t* subkey);
    // Stores `text` with its terminator as a REG_SZ value (creating the key). True on success.
    bool SetString(const wchar_t* subkey, const wchar_t* name, const std::wstring& text);
    // Stores exactly `bytes` with type `type`, no terminator added. True on success.
    bool SetRaw(const wchar_t* subkey, const wchar_t* name, DWORD type, const std::string& bytes);

private:
    afx::RegKey m_scratch;
    bool m_ok = false;
};

// The bytes of `text`'s UTF-16 code units, without a terminator.
std::string Utf16Bytes(const std::wstring& text);

}  // namespace suitetest

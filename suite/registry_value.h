// The one way the updater reads the installed suite's registry values: a string below
// HKEY_LOCAL_MACHINE, at most 255 bytes, always handed back terminated.
#pragma once

#include <windows.h>

#include <cstddef>

namespace suite {

// Every value is offered this many bytes: 126 UTF-16 characters and their terminator fit,
// 127 do not.
constexpr DWORD kRegistryValueBytes = 255;
// Code units a caller's buffer needs for the longest text a read can hand back (127 code
// units when the stored value has no terminator of its own, and the terminator added here).
constexpr size_t kRegistryTextChars = kRegistryValueBytes / sizeof(wchar_t) + 1;

// Reads value `valueName` of key HKEY_LOCAL_MACHINE\`subkey`, opened with KEY_QUERY_VALUE
// alone and no registry-view flag (so a 32-bit process on 64-bit Windows sees the 32-bit
// view). The value's type is not examined: its bytes are taken as UTF-16 text. The text is
// cut at the first null within the data, or after the last whole code unit the data holds,
// and is always terminated inside `buffer`.
// Returns true and fills `buffer` (room for `capacity` code units, at least
// kRegistryTextChars) on success. Returns false, with `buffer` untouched, when the key or
// value is missing, the value is longer than kRegistryValueBytes, `capacity` is too small,
// or the registry reports any other error.
bool ReadMachineString(const wchar_t* subkey, const wchar_t* valueName, wchar_t* buffer, size_t capacity);

}  // namespace suite

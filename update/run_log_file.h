// Where the run log goes and how it is opened. The log is off unless a machine policy names
// its file; the updater may run as SYSTEM, so the file is opened such that nothing planted at
// its path can make the run append to another file.
#pragma once

#include <windows.h>

#include <string>

#include "afx/handles.h"

namespace runlog {

// The policy: HKEY_LOCAL_MACHINE\kPolicyKey, value kPolicyValue.
constexpr wchar_t kPolicyKey[] = L"Software\\Policies\\Ostrel\\Pelmora update";
constexpr wchar_t kPolicyValue[] = L"LogFile";
// Longest policy path taken, in UTF-16 code units, before and after expansion.
constexpr DWORD kMaxPolicyPathChars = 1024;

// The log file's full path as the policy sets it, read from the 64-bit registry view where
// Windows has one (KEY_WOW64_64KEY: policy tools write the native view). A REG_SZ value is
// taken as it is, a REG_EXPAND_SZ one with its environment variables expanded. Empty (the log
// is off) when the key or value is missing, empty, of another type, longer than
// kMaxPolicyPathChars, or not a full path (runlog::IsFullPath).
std::wstring PolicyLogPath();

// Opens the log at `path` for appending, creating the file when it is absent (its folder is
// never created). A log of more than kRotateAboveBytes is first renamed to
// RotatedPath(path), replacing an older one, and a new one begun. Nothing at the path is
// followed: a link or other reparse point is opened as itself and refused, and so are a
// folder, anything that is not a file on a disk (a device, a pipe) and a file with more than
// one hard link; all of that is checked through the open handle, before a byte is written.
// The handle appends only (every write lands at the end, whatever another writer did) and
// lets others read and append. An invalid handle when the log cannot be used; no other file
// has then been changed.
afx::UniqueHandle OpenLogFile(const std::wstring& path);

}  // namespace runlog

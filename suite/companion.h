// The companion charging tool: where its executable is, derived from its uninstall command,
// so that it can be told to quit and then be replaced. RefreshCompanion itself is a member of
// CHalvernDlg (app/halvern_dlg.h); this header holds its state and the derivation.
#pragma once

#include <cstddef>
#include <string>

#include "afx/ansi_text.h"

// The "Uninstall" value of the companion as last read, terminated. All zero at start.
extern wchar_t g_szUninstallValue[256];

// The companion executable's path in the ANSI code page, which the update writes the new
// executable to. Empty unless the last RefreshCompanion succeeded.
extern char g_szCompanionExe[260];

namespace suite {

// Longest companion path, in bytes without the terminator, that g_szCompanionExe holds.
constexpr size_t kCompanionPathMaxBytes = sizeof g_szCompanionExe - 1;

// Derives the companion executable's path from its uninstall command `uninstallCommand`
// (ANSI text): every "setup.exe" becomes "TarnwellPlus.exe". The match is case-sensitive,
// the scan runs left to right and resumes after each replaced occurrence, and a match only
// begins on a character boundary (a byte for which `isLeadByte` is true starts a two-byte
// character that is stepped over whole; a null predicate means single-byte text).
// Returns true and sets `companionPath` when at least one "setup.exe" was replaced and the
// result has at most kCompanionPathMaxBytes bytes. Returns false, leaving `companionPath`
// alone, for a null command, one without "setup.exe" (which would name the uninstaller, or
// some other program, as the file to overwrite), or a result that is too long.
bool DeriveCompanionPath(const char* uninstallCommand, afx::LeadBytePredicate isLeadByte, std::string* companionPath);

// How long the companion is given to let go of its executable after it was told to quit.
constexpr unsigned long kCompanionReleaseMs = 2000;

// Waits until the companion executable at `companionPath` (ANSI) can be opened for writing
// with no sharing, looking every 50 ms, for at most `timeoutMs`. True as soon as it can, and
// at once when no file exists there (nothing holds it); false when it is still held (or
// cannot be opened for another reason) at the end. Writes nothing to the file.
bool WaitForCompanionRelease(const char* companionPath, unsigned long timeoutMs = kCompanionReleaseMs);

}  // namespace suite

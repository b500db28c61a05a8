// Writing one payload row to its file, and the read-only presence check of an install file.
#pragma once

#include <string>

#include "afx/afxwin.h"
#include "update/catalogue.h"
#include "update/in_use.h"

// A target path: the joined wide path and its ANSI code page form, which is what gets opened.
struct PathBuffers {
    wchar_t wide[MAX_PATH];
    char narrow[MAX_PATH];
};

// Joins `baseDir` and `relativePath` by plain concatenation into path.wide (with a null
// `baseDir`, path.wide already holds the base: the driver rows build in place) and converts
// the result into path.narrow. Returns FALSE, with path.narrow emptied, when the joined path
// does not fit in MAX_PATH characters, is not a full path (an empty base) or its ANSI form is
// not exact (a character the code page cannot hold, or more than MAX_PATH - 1 bytes): such a
// path must never be opened, since it would name another file.
BOOL BuildTargetPath(PathBuffers& path, const wchar_t* baseDir, const wchar_t* relativePath);

// What became of one row, for the run log.
struct RowOutcome {
    DWORD sizeBytes = 0;          // the row's resource; 0 when it was not found
    DWORD error = ERROR_SUCCESS;  // when the row was not written: the system error that stopped it
    // When it was written: how, and what it left beside its target (the old file moved aside,
    // or the new file waiting for the restart).
    Replacement replacement = Replacement::Now;
    std::wstring leftBeside;
};

// Writes the resource of `row` to its target, whole: the target is `baseDir` + the row's
// relative path, or `companionPath` unchanged for the companion row. The bytes are written
// straight from the loaded resource into a staging file beside the target (through `file`),
// flushed to disk for the programs and drivers that stay (not the skin, not the temporary
// copy), and the complete file then replaces the target in one rename (see
// update/staged_file.h). A target that another program holds is still replaced, now or at the
// next restart (update/in_use.h; not the temporary copy, which is of no use unless it is in
// place now); one that is read-only, immutable or denied to this account, or whose folder is
// missing, is not. On every failure the target keeps its old bytes and no staging file is left.
//
// Returns TRUE when the sequence may go on: the row was written (*pFullPath = the target's
// absolute path), or, in silent mode, it was skipped because the target could not be
// created, the path was unsafe, the resource was missing, or the write or close failed
// (*pFullPath empty; a skipped target that could not be opened is left untouched). Returns
// FALSE only in interactive mode, after the row's failure message was shown: the run must
// end. In interactive mode a failed write or close raises CFileException* to the caller.
// `file` is closed on return. `pOutcome`, when given, gets the resource's size and, for a row
// not written, the error that stopped it (ERROR_INVALID_NAME for a path that must not be
// opened), also before the CFileException* is raised.
BOOL WritePayload(const PayloadEntry& row, const wchar_t* baseDir, CFile& file, PathBuffers& path,
                  CString* pFullPath, const char* companionPath = nullptr, RowOutcome* pOutcome = nullptr);

// Opens `installDir` + `relativePath` for reading, shared with nobody. TRUE leaves `file`
// open (the caller closes it). FALSE when the path is unsafe or the open fails; `pError`,
// when given, then says why (sharingViolation: another process holds the file).
BOOL ProbeInstallFile(CFile& file, const wchar_t* installDir, const wchar_t* relativePath, PathBuffers& path,
                      CFileException* pError = nullptr);

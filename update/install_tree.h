// Links in the install tree. The updater runs elevated or as SYSTEM and writes below an install
// directory that a less privileged account may be able to change. A folder of the tree replaced
// by a junction, a symbolic link or a mount point would send the update's files, and its
// deletions, wherever the link points; so a row's folders below the install directory must be
// plain folders, and the file it creates must really be in the folder the row meant. The
// install directory itself is taken as the registry names it.
#pragma once

#include <windows.h>

#include <string>

// The error a row refused for a link in its way reports: ERROR_REPARSE_POINT_ENCOUNTERED, which
// this toolchain's headers do not name.
constexpr DWORD kErrorLinkInTheWay = 4395;

// Whether the folders between `installDir` and the file `target` (`installDir` followed by the
// row's relative path) are all plain folders, none a reparse point. Each folder is looked at
// once per run, and the first one found to be a link is recorded in the run log with why its
// rows are refused. A folder that does not exist is no link (the row then fails on its own).
// False, with `*link` naming the folder, when one is a link.
bool InstallFoldersArePlain(const wchar_t* installDir, const wchar_t* target, std::wstring* link);

// The full path of the folder `target` (below `installDir`, as above) is meant to be in, as
// the system names the folder a file really is in (see FinalPath): the install directory's
// own, followed by the row's folders. Empty when the install directory cannot be opened.
std::wstring MeantFolder(const wchar_t* installDir, const wchar_t* target);

// The path of the file open as `file` as the system names it ("\\?\C:\...\name"), after every
// link on the way; empty when it cannot be read.
std::wstring FinalPath(HANDLE file);

// The folder part of a path (up to its last backslash, without it).
std::wstring FolderOf(const std::wstring& path);

// Whether two paths in the system's naming are the same, ignoring case as the file system does.
bool SamePath(const std::wstring& a, const std::wstring& b);

// The temporary copy of the product's support library, which the updater writes to the
// temporary directory and then loads. That directory is writable by every program of the
// user, while the updater may run elevated: the copy is pinned and checked before it is
// loaded, so what is loaded is exactly the library the updater carries.
#pragma once

#include <windows.h>

#include <string>

#include "afx/handles.h"

namespace suite {

// Full path of the temporary copy: the temporary directory (GetTempPathW) with exactly one
// separator, then "Quorvel.dll". Empty when the temporary directory cannot be read, is not
// an absolute path, or the result would not fit in MAX_PATH code units.
std::wstring TempSupportLibraryPath();

// Opens the file at `path` for reading and lets others share it for reading only, so that
// while the returned handle is held nobody can write, rename or delete it. Then compares its
// whole contents with resource `id` of type `type` in `module`.
// Returns the open handle when the bytes are the same. Returns an invalid handle, with the
// file closed again, when it cannot be opened (missing, or held for writing by another
// program), when it differs in size or in any byte, or when the resource is missing or empty.
afx::UniqueHandle OpenIfSameAsResource(const wchar_t* path, HMODULE module, const char* type, WORD id);

}  // namespace suite

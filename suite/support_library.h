// The temporary copy of the product's support library, which the updater writes to a folder of
// the run's own (suite/temp_folder.h) and then loads. The updater may run elevated: the copy is
// also pinned and checked before it is loaded, so what is loaded is exactly the library the
// updater carries.
#pragma once

#include <windows.h>

#include <string>

#include "afx/handles.h"

namespace suite {

// Opens the file at `path` for reading and lets others share it for reading only, so that
// while the returned handle is held nobody can write, rename or delete it. Then compares its
// whole contents with resource `id` of type `type` in `module`.
// Returns the open handle when the bytes are the same. Returns an invalid handle, with the
// file closed again, when it cannot be opened (missing, or held for writing by another
// program), when it differs in size or in any byte, or when the resource is missing or empty.
afx::UniqueHandle OpenIfSameAsResource(const wchar_t* path, HMODULE module, const char* type, WORD id);

}  // namespace suite

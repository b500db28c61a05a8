// Finding a running program by its executable's image name, as the product is found when it
// is to be stopped.
#pragma once

#include <windows.h>

#include "afx/handles.h"

namespace suite {

// Whole-string comparison of two image names that folds ASCII letters only.
bool ImageNamesEqual(const wchar_t* a, const wchar_t* b);

// Opens with `access` the first process, in the system's order, whose image name equals
// `imageName` (ImageNamesEqual) and that can be opened; a match that cannot be opened is
// passed over. Names are read from a process snapshot, so only a match is opened; when no
// snapshot can be taken, every listed process (the first 512) is opened and its first
// module's base name read instead. Empty when there is no such process.
afx::UniqueHandle OpenFirstProcessNamed(const wchar_t* imageName, DWORD access);

}  // namespace suite

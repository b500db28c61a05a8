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
// passed over. Each listed process is opened for its image's path alone, and only a match is
// opened with `access`; when the processes cannot all be listed (more than 512, say), their
// names are read from a process snapshot instead. Empty when there is no such process.
afx::UniqueHandle OpenFirstProcessNamed(const wchar_t* imageName, DWORD access);

}  // namespace suite

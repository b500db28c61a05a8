// An embedded resource's bytes, read in place: the one way the program finds a payload or the
// support library it carries.
#pragma once

#include <windows.h>

namespace afx {

// The bytes of a resource as its module maps them: valid while the module stays loaded, and
// never to be written.
struct ResourceView {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

// Finds resource `id` of the custom type `type` in `module` (null: the program's own file).
// True with `*view` set when it exists, loads and is not empty; false otherwise, with `*view`
// not to be used.
bool FindResourceView(HMODULE module, const char* type, WORD id, ResourceView* view);

}  // namespace afx

#include "afx/resource_view.h"

namespace afx {

bool FindResourceView(HMODULE module, const char* type, WORD id, ResourceView* view) {
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    if (loaded == nullptr) return false;
    view->size = ::SizeofResource(module, found);
    view->data = static_cast<const BYTE*>(::LockResource(loaded));
    return view->data != nullptr && view->size != 0;
}

}  // namespace afx

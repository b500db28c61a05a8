// A file's access rules (its DACL), read and compared so that a replaced file keeps rules of its
// own, and read no more often than they can change: what a new file gets from its folder is
// the same for every file written there in one run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class AccessRules {
public:
    // The rules of the open `file` (opened with READ_CONTROL), in one request. False when they
    // cannot be read; the object is then empty.
    bool ReadFrom(HANDLE file);
    // The rules of the file at `path`, opened as itself (a link there is not followed where the
    // system can open a link as such) for nothing but reading them, so that a file held by
    // another program is read too. FinalPath() then says which file that really was. False
    // when it cannot be opened or read, or it is a link.
    bool ReadFrom(const wchar_t* path);
    // Of the file ReadFrom(path) read: its path as the system names it (update/install_tree.h).
    const std::wstring& FinalPath() const { return m_finalPath; }

    bool Empty() const { return m_descriptor.empty(); }
    // Whether both say the same about access: both protected from what the folder passes on or
    // both not, and the same entries in the same order. False when either is empty.
    bool SameAs(const AccessRules& other) const;
    // Sets these rules on the open `file` (opened with WRITE_DAC), protected or not as they
    // are. A failure is ignored, as ReplaceFileW told to ignore access-rule errors does: the
    // bytes matter more.
    void ApplyTo(HANDLE file) const;

private:
    std::vector<BYTE> m_descriptor;  // self-relative, DACL only
    std::wstring m_finalPath;
};

// What a new file gets in the folder last asked about: read from the first new file there and
// then remembered, until a file in another folder is asked about.
class NewFileRules {
public:
    // The rules `staging`, a file just created in `folder`, got; empty when they cannot be read.
    const AccessRules& For(const std::wstring& folder, HANDLE staging);

private:
    std::wstring m_folder;
    AccessRules m_rules;
};

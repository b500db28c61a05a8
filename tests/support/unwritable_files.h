// Files a test keeps the code under test from writing, as a user's machine can: made unwritable,
// held open by this process, or held open by another one.
#pragma once

#include <windows.h>

#include <string>

#include "afx/handles.h"
#include "test_env.h"

namespace testenv {

// Makes a file or folder unwritable for the scope's life with `chattr +i` (Wine as root
// ignores the read-only attribute), and writable again at its end. ok() once it is unwritable.
class Immutable {
public:
    explicit Immutable(const std::wstring& path);
    ~Immutable();
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool ok() const { return m_ok; }

private:
    std::wstring m_path;
    bool m_ok = false;
};

// Holds a file open with no sharing, as another program would, for the scope's life.
class HeldFile {
public:
    explicit HeldFile(const std::wstring& path, bool create = false);
    bool ok() const { return m_h.valid(); }

private:
    afx::UniqueHandle m_h;
};

// Another process (testtools\hold_file.exe) that holds `path` open (the file is created when
// absent), for the object's life: with no sharing, or `asImage`, shared for reading and deletion
// only, as Windows holds a loaded driver or a running program. ok() once the file is held.
class HeldByOtherProcess {
public:
    explicit HeldByOtherProcess(const std::wstring& path, bool asImage = false);
    bool ok() const { return m_ok; }

private:
    ChildProcess m_holder;
    bool m_ok = false;
};

}  // namespace testenv

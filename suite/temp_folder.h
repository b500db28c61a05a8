// The run's own temporary folder, which holds the temporary copy of the support library from
// its writing until it is deleted after the product is stopped. The updater may run elevated or
// as SYSTEM, while the temporary directory may let any account create files (C:\Windows\Temp
// does): a copy written there under a fixed name could meet a file someone planted. In a
// folder that only this run can have made, nobody else's file can stand under the copy's name.
#pragma once

#include <windows.h>

#include <string>

namespace suite {

class TempRunFolder {
public:
    TempRunFolder() = default;
    // Removes the copy, if it is still there, and the folder: on every way out of the run.
    ~TempRunFolder();
    TempRunFolder(const TempRunFolder&) = delete;
    TempRunFolder& operator=(const TempRunFolder&) = delete;

    // Creates the folder below the temporary directory (GetTempPath2W where the system has it,
    // which gives SYSTEM a directory of its own; GetTempPathW otherwise) under a fresh,
    // unpredictable name, exclusively (a name someone made first is never used), with access
    // for SYSTEM, Administrators and the running account only and nothing inherited. It is
    // the folder TempSupportLibraryPath names until this object goes. False when the
    // temporary directory is unusable or no folder could be made there; Path() is then empty.
    bool Create();

    // The folder's full path, with a trailing backslash, as the temporary directory's is.
    const std::wstring& Path() const { return m_path; }

    // Deletes the copy through a handle of its own, opened as the file itself. True when it was
    // deleted or was never written; `*error` gets the reason otherwise.
    bool DeleteCopy(DWORD* error = nullptr);

private:
    std::wstring m_path;
};

// Full path of the temporary copy of the support library: the folder of the TempRunFolder that
// exists now, then "Quorvel.dll". Empty when there is none.
std::wstring TempSupportLibraryPath();

}  // namespace suite

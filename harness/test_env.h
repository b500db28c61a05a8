// What a test program needs around it: the build's folders, the prefix it runs in, scratch
// folders, whole files, child processes and files made unwritable.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "afx/handles.h"

namespace testenv {

// Windows paths of the build's bin folder and of the payload folder.
std::wstring BinDir();
std::wstring PayloadDir();
// Path of a file below BinDir().
std::wstring BinFile(const std::wstring& relative);
// Path of a payload file by its name in payload/catalogue.tsv's source column ('/' allowed).
std::wstring PayloadFile(const std::string& source);
// "win32" or "win64".
std::string PrefixName();
bool Is64BitPrefix();

// An empty folder C:\halvern-tests\<name>, made afresh (what was there is removed).
std::wstring FreshDir(const std::wstring& name);
bool MakeDirs(const std::wstring& path);
void RemoveTree(const std::wstring& path);
bool FileExists(const std::wstring& path);

bool ReadFileBytes(const std::wstring& path, std::string* bytes);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The bytes of resource `id` of type `type` in `module` (null: this program).
std::string ResourceBytes(HMODULE module, const char* type, WORD id);

std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

// A process started by a test; terminated when the object goes unless it has ended.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&&) = default;
    ChildProcess& operator=(ChildProcess&&) = default;
    ~ChildProcess();

    // Starts `commandLine` in `currentDir` (empty: this process's). FALSE on failure.
    bool Start(const std::wstring& commandLine, const std::wstring& currentDir = L"");
    // Waits up to `ms` for the end; true when it ended.
    bool Wait(DWORD ms);
    DWORD ExitCode() const;
    bool Running() const;
    DWORD Pid() const { return m_pid; }
    HANDLE Handle() const { return m_process.get(); }
    void Terminate();

private:
    afx::UniqueHandle m_process;
    DWORD m_pid = 0;
};

// Starts a Unix program through Wine's support for starting them. Wine hands back no process
// to wait on, so the program may still be running on return: check its effect. False when it
// could not be started.
bool RunUnix(const std::wstring& commandLine);

// Makes a file or folder unwritable for the scope's life with `chattr +i` (Wine as root
// ignores the read-only attribute), and writable again at its end.
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

}  // namespace testenv

namespace testenv {

// Another process that holds `path` open with no sharing (the file is created when absent),
// for the object's life. ok() once the file is held.
class HeldByOtherProcess {
public:
    explicit HeldByOtherProcess(const std::wstring& path);
    bool ok() const { return m_ok; }

private:
    ChildProcess m_holder;
    bool m_ok = false;
};

}  // namespace testenv

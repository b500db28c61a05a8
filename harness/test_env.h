// What a harness program (a test, the demo's driver, the benchmark's) needs around it: the
// build's folders and the prefix it runs in, as the script that starts it says (HALVERN_BIN_DIR,
// HALVERN_PAYLOAD_DIR, HALVERN_PREFIX), scratch folders, whole files, child processes and Unix
// commands.
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
// Whether the updater sees 64-bit Windows: it is built like this program, so only a 32-bit
// build in a 64-bit prefix runs under WOW64 (a 64-bit test build writes the 32-bit drivers).
bool UpdaterUnderWow64();

// An empty folder C:\halvern-tests\<name>, made afresh (what was there is removed).
std::wstring FreshDir(const std::wstring& name);
bool MakeDirs(const std::wstring& path);
void RemoveTree(const std::wstring& path);
bool FileExists(const std::wstring& path);

bool ReadFileBytes(const std::wstring& path, std::string* bytes);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The bytes of resource `id` of type `type` in `module` (null: this program); empty when it is
// missing or empty.
std::string ResourceBytes(HMODULE module, const char* type, WORD id);

// In the ANSI code page (afx::ToAnsi), and back.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

// A process started by a harness program; terminated when the object goes unless it has ended.
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

// A folder of the prefix's C: drive (`relative`, such as "windows\\system32") reached from its
// Unix side, through Z: and WINEPREFIX, so that no redirection of this process's applies: what
// is found there is where a file really landed. Empty when WINEPREFIX is not a full Unix path.
std::wstring PrefixFolder(const std::wstring& relative);

// The Unix path of a Windows path, through Wine; `path` itself outside Wine.
std::wstring UnixPath(const std::wstring& path);

// Runs `command` with the Unix shell (/bin/sh -c) and waits up to `timeoutMs` for its end.
// Returns its exit status, or -1 when it could not be started or did not end in time. Wine
// starts a Unix program without a process to wait on, so the end is seen through a status
// file that the shell writes last. `command` must not contain a double quote.
int RunUnix(const std::wstring& command, DWORD timeoutMs = 30000);

}  // namespace testenv

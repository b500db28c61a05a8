// Test tool: holds a file open with no sharing, as another program would, until it is ended.
// usage: hold_file.exe <path>   (creates the file when absent; exits 2 when it cannot open it)
#include <windows.h>

#include "afx/handles.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 1;
    // The test that started it looks every 20 ms whether the file is held yet, and that look
    // shares the file only for reading and writing: an open that meets it tries again.
    afx::UniqueHandle held;
    for (int attempt = 0; attempt < 250 && !held; ++attempt) {
        held.reset(::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
        if (!held && ::GetLastError() != ERROR_SHARING_VIOLATION) return 2;
        if (!held) ::Sleep(20);
    }
    if (!held) return 2;
    ::Sleep(INFINITE);
    return 0;
}

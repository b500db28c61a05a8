// Test tool: holds a file open, as another program would, until it is ended: with no sharing, or
// with --as-image shared for reading and deletion only, as Windows holds a loaded driver or a
// running program's executable.
// usage: hold_file.exe [--as-image] <path>   (creates the file when absent; exits 2 when it
// cannot open it)
#include <windows.h>

#include "afx/handles.h"

int wmain(int argc, wchar_t** argv) {
    const bool asImage = argc == 3 && lstrcmpW(argv[1], L"--as-image") == 0;
    if (argc != 2 && !asImage) return 1;
    const wchar_t* path = argv[argc - 1];
    const DWORD share = asImage ? FILE_SHARE_READ | FILE_SHARE_DELETE : 0;
    // The test that started it looks every 20 ms whether the file is held yet, with an open of
    // its own: an open that meets it tries again.
    afx::UniqueHandle held;
    for (int attempt = 0; attempt < 250 && !held; ++attempt) {
        held.reset(::CreateFileW(path, asImage ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                 OPEN_ALWAYS, 0, nullptr));
        if (!held && ::GetLastError() != ERROR_SHARING_VIOLATION) return 2;
        if (!held) ::Sleep(20);
    }
    if (!held) return 2;
    ::Sleep(INFINITE);
    return 0;
}

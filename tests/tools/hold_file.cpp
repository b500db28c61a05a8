// Test tool: holds a file open with no sharing, as another program would, until it is ended.
// usage: hold_file.exe <path>   (creates the file when absent; exits 2 when it cannot open it)
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 1;
    HANDLE h = ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 2;
    ::Sleep(INFINITE);
    return 0;
}

// Stand-in for the companion program, TarnwellPlus.exe.
//
//   TarnwellPlus.exe     runs until told to quit, owning a hidden top-level window of class
//                        "TTarnwellPlusHost" (title "TarnwellPlus").
//   TarnwellPlus.exe -q  asks every running instance to quit (WM_CLOSE to each such window) and
//                        exits at once with code 0, whether or not one was running.
//   --quit-after <ms>    a running instance that is told to quit keeps running that long first.
//   --ignore-quit        a running instance that is told to quit keeps running.
// A running instance that gets WM_CLOSE destroys its window and its process exits with code 0,
// so the file it was started from is released for the updater to overwrite.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <vector>

namespace {

constexpr wchar_t kHostClass[] = L"TTarnwellPlusHost";
constexpr wchar_t kHostTitle[] = L"TarnwellPlus";

bool g_ignoreQuit = false;
DWORD g_quitAfterMs = 0;

// True for a quit request; otherwise reads the running instance's options.
bool ParseArguments() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return false;
    }
    const bool quit = argc == 2 && _wcsicmp(argv[1], L"-q") == 0;
    for (int i = 1; i < argc; ++i) {
        if (_wcsicmp(argv[i], L"--ignore-quit") == 0) {
            g_ignoreQuit = true;
        } else if (_wcsicmp(argv[i], L"--quit-after") == 0 && i + 1 < argc) {
            g_quitAfterMs = static_cast<DWORD>(_wtoi(argv[++i]));
        }
    }
    LocalFree(argv);
    return quit;
}

// Posts WM_CLOSE to every instance's window. All windows are found before any is told, since an
// instance may already be gone (and its window handle with it) by the next FindWindowEx call.
int QuitRunningInstances() {
    std::vector<HWND> hosts;
    HWND host = nullptr;
    while ((host = FindWindowExW(nullptr, host, kHostClass, nullptr)) != nullptr) {
        hosts.push_back(host);
    }
    for (HWND running : hosts) {
        PostMessageW(running, WM_CLOSE, 0, 0);
    }
    return 0;
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_CLOSE && g_ignoreQuit) {
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

int RunInstance(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostProc;
    wc.hInstance = instance;
    wc.lpszClassName = kHostClass;
    if (RegisterClassExW(&wc) == 0) {
        return 2;
    }
    // A real (hidden) top-level window rather than a message-only one: FindWindow does not see
    // message-only windows.
    HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, kHostClass, kHostTitle, WS_OVERLAPPED, 0, 0, 0, 0,
                                nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) {
        return 3;
    }

    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) {
            return 4;
        }
        DispatchMessageW(&msg);
    }
    Sleep(g_quitAfterMs);
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (ParseArguments()) {
        return QuitRunningInstances();
    }
    return RunInstance(instance);
}

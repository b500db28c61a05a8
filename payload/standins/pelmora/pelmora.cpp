// Stand-in for the installed product's main program, Pelmora.exe.
//
//   Pelmora.exe                 main window: class "TMainForm", title "Pelmora"; the process
//                               exits when message 0x480 arrives, as the product does when the
//                               updater asks it to close.
//   Pelmora.exe --ignore-close  the same window, but 0x480 is ignored: a product that hangs, so
//                               the updater's wait-then-terminate path can be exercised.
//   Pelmora.exe --sibling       the product's sibling program: class "TPelmoraSibling", title
//                               "Pelmora sibling"; it closes on WM_CLOSE (Quorvel.dll's
//                               CloseVantryExe sends that).
//   --linger <ms>               with any mode: once the window is gone the process keeps
//                               running that long, as the product does while it saves its
//                               settings, before it exits.
// Every mode also closes on WM_CLOSE and exits with code 0 when its window is gone.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

constexpr UINT kCloseRequest = 0x480;  // WM_USER + 0x80, the product's private "close" message
constexpr wchar_t kMainClass[] = L"TMainForm";
constexpr wchar_t kMainTitle[] = L"Pelmora";
constexpr wchar_t kSiblingClass[] = L"TPelmoraSibling";
constexpr wchar_t kSiblingTitle[] = L"Pelmora sibling";

enum class Mode { Main, IgnoreClose, Sibling };

Mode g_mode = Mode::Main;
DWORD g_lingerMs = 0;

void ParseArguments() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return;
    }
    for (int i = 1; i < argc; ++i) {
        if (_wcsicmp(argv[i], L"--ignore-close") == 0) {
            g_mode = Mode::IgnoreClose;
        } else if (_wcsicmp(argv[i], L"--sibling") == 0) {
            g_mode = Mode::Sibling;
        } else if (_wcsicmp(argv[i], L"--linger") == 0 && i + 1 < argc) {
            g_lingerMs = static_cast<DWORD>(_wtoi(argv[++i]));
        }
    }
    LocalFree(argv);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case kCloseRequest:
            if (g_mode == Mode::Main) {
                DestroyWindow(hwnd);
            }
            return 0;
        case WM_PAINT: {
            // Says which program this is, for whoever looks at the screen.
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT client;
            GetClientRect(hwnd, &client);
            DrawTextW(dc, g_mode == Mode::Sibling ? L"Pelmora sibling (stand-in)" : L"Pelmora (stand-in)", -1,
                      &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ParseArguments();
    const bool sibling = g_mode == Mode::Sibling;

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = sibling ? kSiblingClass : kMainClass;
    if (RegisterClassExW(&wc) == 0) {
        return 2;
    }

    // Visible from the moment it exists: whoever finds the window sees the product as shown.
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, sibling ? kSiblingTitle : kMainTitle,
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, sibling ? 360 : 40, 40, 300, 180,
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
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Sleep(g_lingerMs);
    return static_cast<int>(msg.wParam);
}

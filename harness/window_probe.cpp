#include "window_probe.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace probe {

namespace {

struct Search {
    DWORD pid;
    const char* className;
    const char* title;
    HWND found;
    bool messageBoxOnly;
};

// A message box exists, with its controls, before its caption, text and icon are filled in
// (the system does that on WM_INITDIALOG); only then is it shown. Read before it is visible, it
// would look like a box with no caption and no text.
bool IsMessageBox(HWND hwnd) {
    return ClassName(hwnd) == "#32770" && ::GetDlgItem(hwnd, 0xFFFF) != nullptr && ::IsWindowVisible(hwnd);
}

BOOL CALLBACK Visit(HWND hwnd, LPARAM lParam) {
    Search* s = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (s->pid != 0 && pid != s->pid) return TRUE;
    if (s->className != nullptr && ClassName(hwnd) != s->className) return TRUE;
    if (s->title != nullptr && WindowText(hwnd) != s->title) return TRUE;
    if (s->messageBoxOnly && !IsMessageBox(hwnd)) return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND Find(Search s) {
    ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

}  // namespace

HWND FindTopWindow(DWORD pid, const char* className, const char* title) {
    return Find({pid, className, title, nullptr, false});
}

HWND WaitForTopWindow(DWORD pid, const char* className, const char* title, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        HWND hwnd = FindTopWindow(pid, className, title);
        if (hwnd != nullptr || ::GetTickCount() - start >= timeoutMs) return hwnd;
        ::Sleep(20);
    }
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (::IsWindow(hwnd)) {
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(20);
    }
    return true;
}

bool WaitForWindowVisible(HWND hwnd, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!::IsWindowVisible(hwnd)) {
        if (!::IsWindow(hwnd) || ::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(20);
    }
    return true;
}

std::string WindowText(HWND hwnd) {
    // The text the window manager keeps: readable while the window's thread is busy.
    wchar_t text[1024] = L"";
    ::InternalGetWindowText(hwnd, text, 1024);
    char narrow[2048] = "";
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

std::string ClassName(HWND hwnd) {
    char name[256] = "";
    ::GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string ControlText(HWND dlg, int id) {
    HWND control = ::GetDlgItem(dlg, id);
    return control != nullptr ? WindowText(control) : std::string("<no control>");
}

bool ControlVisible(HWND dlg, int id) {
    HWND control = ::GetDlgItem(dlg, id);
    return control != nullptr && (::GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool ControlEnabled(HWND dlg, int id) {
    HWND control = ::GetDlgItem(dlg, id);
    return control != nullptr && ::IsWindowEnabled(control);
}

HWND FocusedWindow(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

int FocusedControlId(HWND dlg) {
    HWND focus = FocusedWindow(dlg);
    if (focus == nullptr || ::GetParent(focus) != dlg) return 0;
    return ::GetDlgCtrlID(focus);
}

void PostClick(HWND dlg, int id) {
    HWND button = ::GetDlgItem(dlg, id);
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

namespace {

// The pixels of `rect` on the screen, or of `icon` drawn over `background`, as 32-bit BGRA.
std::vector<DWORD> Pixels(const RECT& rect, HICON icon, COLORREF background) {
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    std::vector<DWORD> bits(static_cast<size_t>(w) * static_cast<size_t>(h));
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* data = nullptr;
    HBITMAP dib = ::CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &data, nullptr, 0);
    HGDIOBJ old = ::SelectObject(mem, dib);
    if (icon == nullptr) {
        ::BitBlt(mem, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
    } else {
        HBRUSH brush = ::CreateSolidBrush(background);
        RECT all = {0, 0, w, h};
        ::FillRect(mem, &all, brush);
        ::DeleteObject(brush);
        ::DrawIconEx(mem, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
    }
    ::GdiFlush();
    std::copy(static_cast<DWORD*>(data), static_cast<DWORD*>(data) + bits.size(), bits.begin());
    ::SelectObject(mem, old);
    ::DeleteObject(dib);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    return bits;
}

long Distance(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
    long sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            sum += std::labs(static_cast<long>((a[i] >> shift) & 0xFF) - static_cast<long>((b[i] >> shift) & 0xFF));
        }
    }
    return sum;
}

}  // namespace

bool ShowsStockIcon(HWND iconControl, LPCSTR stockIcon) {
    RECT rect;
    ::GetWindowRect(iconControl, &rect);
    if (rect.right <= rect.left || rect.bottom <= rect.top) return false;
    LPCSTR stock[] = {IDI_EXCLAMATION, IDI_HAND, IDI_QUESTION, IDI_ASTERISK};
    // Until the box has painted, no icon stands out; wait for one clear winner.
    for (int attempt = 0; attempt < 50; ++attempt, ::Sleep(40)) {
        std::vector<DWORD> pixels = Pixels(rect, nullptr, 0);
        // The corner of an icon is transparent: it shows the box's background.
        COLORREF bg = RGB((pixels[0] >> 16) & 0xFF, (pixels[0] >> 8) & 0xFF, pixels[0] & 0xFF);
        LPCSTR closest = nullptr;
        long best = -1;
        long second = -1;
        for (LPCSTR id : stock) {
            long d = Distance(pixels, Pixels(rect, ::LoadIconA(nullptr, id), bg));
            if (best < 0 || d < best) {
                second = best;
                best = d;
                closest = id;
            } else if (second < 0 || d < second) {
                second = d;
            }
        }
        if (best * 4 < second) return closest == stockIcon;
    }
    return false;
}

bool WaitForMessageBox(DWORD pid, DWORD timeoutMs, MessageBoxInfo* info) {
    DWORD start = ::GetTickCount();
    HWND box = nullptr;
    while ((box = Find({pid, nullptr, nullptr, nullptr, true})) == nullptr) {
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(20);
    }
    info->hwnd = box;
    info->owner = ::GetWindow(box, GW_OWNER);
    info->caption = WindowText(box);
    info->text = ControlText(box, 0xFFFF);
    // The icon control is id 20 on Windows and 0x440 under Wine.
    HWND icon = ::GetDlgItem(box, 20);
    if (icon == nullptr) icon = ::GetDlgItem(box, 0x440);
    HICON shown = icon != nullptr ? reinterpret_cast<HICON>(::SendMessageA(icon, STM_GETICON, 0, 0)) : nullptr;
    info->exclamationIcon = shown != nullptr && shown == ::LoadIconA(nullptr, IDI_EXCLAMATION);
    // Icon handles do not compare across processes: look at the pixels instead.
    if (!info->exclamationIcon && icon != nullptr) info->exclamationIcon = ShowsStockIcon(icon, IDI_EXCLAMATION);
    info->ownerDisabled = info->owner != nullptr && !::IsWindowEnabled(info->owner);
    return true;
}

bool AnswerMessageBox(HWND box, int id) {
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
    return WaitForWindowGone(box, 5000);
}

}  // namespace probe

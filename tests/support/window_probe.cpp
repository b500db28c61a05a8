#include "window_probe.h"

namespace probe {

namespace {

struct Search {
    DWORD pid;
    const char* className;
    const char* title;
    HWND found;
    bool messageBoxOnly;
};

bool IsMessageBox(HWND hwnd) {
    return ClassName(hwnd) == "#32770" && ::GetDlgItem(hwnd, 0xFFFF) != nullptr;
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

std::string WindowText(HWND hwnd) {
    char text[1024] = "";
    LRESULT n = ::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                      SMTO_ABORTIFHUNG, 2000, nullptr);
    (void)n;
    text[sizeof text - 1] = 0;
    return text;
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
    info->ownerDisabled = info->owner != nullptr && !::IsWindowEnabled(info->owner);
    return true;
}

bool AnswerMessageBox(HWND box, int id) {
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
    return WaitForWindowGone(box, 5000);
}

}  // namespace probe

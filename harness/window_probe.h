// Looking at windows as a person would, from outside the thread or process that owns them:
// find a window, read its controls, click, and answer message boxes.
#pragma once

#include <windows.h>

#include <string>

namespace probe {

// The first visible or hidden top-level window of process `pid` (0: any process) whose class
// and title match (null: any). Null when there is none.
HWND FindTopWindow(DWORD pid, const char* className, const char* title);
// FindTopWindow, polled every 20 ms for up to `timeoutMs`.
HWND WaitForTopWindow(DWORD pid, const char* className, const char* title, DWORD timeoutMs);
// Waits until `hwnd` is gone; true when it went within `timeoutMs`.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs);
// Waits until `hwnd` is shown; true when it was visible within `timeoutMs` (false at once
// when the window is destroyed first).
bool WaitForWindowVisible(HWND hwnd, DWORD timeoutMs);

std::string WindowText(HWND hwnd);
std::string ClassName(HWND hwnd);
// The text of control `id` of dialog `dlg`, as the window manager keeps it: it sends no
// message, so it can be read while the dialog's thread is busy.
std::string ControlText(HWND dlg, int id);
bool ControlVisible(HWND dlg, int id);
bool ControlEnabled(HWND dlg, int id);
// The window that has the keyboard focus in `window`'s thread.
HWND FocusedWindow(HWND window);
// The id of the focused control, or 0 when the focus is elsewhere.
int FocusedControlId(HWND dlg);

// Clicks button `id` of `dlg` without waiting for its handler to return.
void PostClick(HWND dlg, int id);

// Whether the icon control shows the stock icon `stockIcon` (IDI_EXCLAMATION, ...): of the
// stock message box icons, it is the one whose drawing is closest to the screen's pixels.
bool ShowsStockIcon(HWND iconControl, LPCSTR stockIcon);

// A message box as the user sees it.
struct MessageBoxInfo {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    bool exclamationIcon = false;
    bool ownerDisabled = false;
};
// Waits up to `timeoutMs` for a message box (dialog class "#32770" with a static text of id
// 0xFFFF) of process `pid` (0: any process) to be shown; fills `info`. A box counts only once
// it is visible: before that its caption and text may not be set yet. False when none appeared.
bool WaitForMessageBox(DWORD pid, DWORD timeoutMs, MessageBoxInfo* info);
// Presses button `id` of a message box (IDOK by default) and waits for it to go.
bool AnswerMessageBox(HWND box, int id = IDOK);

}  // namespace probe

#include "dialog_driver.h"

#include <thread>

#include "window_probe.h"

namespace dialogtest {

namespace {

constexpr DWORD kAnswerMs = 5000;

std::string Describe(const char* name, const ControlState& c) {
    return std::string(name) + "{\"" + c.text + "\", " + (c.visible ? "visible" : "hidden") + ", " +
           (c.enabled ? "enabled" : "disabled") + "}";
}

ControlState ReadControl(HWND dlg, int id) {
    return {probe::ControlText(dlg, id), probe::ControlVisible(dlg, id), probe::ControlEnabled(dlg, id)};
}

bool Same(const ControlState& a, const ControlState& b) {
    return a.text == b.text && a.visible == b.visible && a.enabled == b.enabled;
}

}  // namespace

const char* OperationName(Operation op) {
    switch (op) {
    case Operation::Updating: return "ShowUpdating";
    case Operation::Finished: return "ShowFinished";
    case Operation::Unsupported: return "ShowUnsupported";
    }
    return "?";
}

BOOL DrivenDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == kRunOperation) {
        switch (static_cast<Operation>(wParam)) {
        case Operation::Updating: ShowUpdating(); break;
        case Operation::Finished: ShowFinished(); break;
        case Operation::Unsupported: ShowUnsupported(); break;
        }
        *pResult = 1;
        return TRUE;
    }
    if (message == kEndWith) {
        EndDialog(static_cast<int>(wParam));
        *pResult = 1;
        return TRUE;
    }
    return CHalvernDlg::OnWndMsg(message, wParam, lParam, pResult);
}

INT_PTR RunModal(DrivenDialog& dlg, const std::function<void(HWND)>& drive) {
    CWinApp* app = AfxGetApp();
    CWnd* previousMain = app->m_pMainWnd;
    app->m_pMainWnd = &dlg;

    std::thread driver([&drive] {
        HWND wnd = WaitForDialog(kDialogTitle, 10000);
        if (wnd != nullptr && probe::WaitForWindowVisible(wnd, 10000)) Settle(wnd);
        drive(wnd);
        if (wnd == nullptr || probe::WaitForWindowGone(wnd, kAnswerMs)) return;
        // Left open: close what it left on top, then end it so that the test fails, not hangs.
        HWND about = probe::FindTopWindow(::GetCurrentProcessId(), kDialogClass, kAboutTitle);
        if (about != nullptr) {
            ::PostMessageA(about, WM_COMMAND, IDCANCEL, 0);
            probe::WaitForWindowGone(about, kAnswerMs);
        }
        ::PostMessageA(wnd, DrivenDialog::kEndWith, kAbandoned, 0);
        probe::WaitForWindowGone(wnd, kAnswerMs);
    });
    INT_PTR result = dlg.DoModal();
    driver.join();
    app->m_pMainWnd = previousMain;
    return result;
}

bool RunOperation(HWND dlg, Operation op) {
    DWORD_PTR answer = 0;
    return ::SendMessageTimeoutA(dlg, DrivenDialog::kRunOperation, static_cast<WPARAM>(op), 0, SMTO_NORMAL,
                                 kAnswerMs, &answer) != 0 &&
           answer == 1;
}

void Settle(HWND dlg) {
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutA(dlg, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerMs, &answer);
}

bool DialogState::operator==(const DialogState& o) const {
    return Same(message, o.message) && Same(yes, o.yes) && Same(cancel, o.cancel) && Same(exit, o.exit) &&
           Same(reboot, o.reboot) && focus == o.focus;
}

std::string DialogState::Describe() const {
    return dialogtest::Describe("message", message) + " " + dialogtest::Describe("IDC_YES", yes) + " " +
           dialogtest::Describe("IDC_CANCEL_BTN", cancel) + " " + dialogtest::Describe("IDC_EXIT", exit) + " " +
           dialogtest::Describe("IDC_REBOOT", reboot) + " focus=" + std::to_string(focus);
}

DialogState ReadState(HWND dlg) {
    DialogState s;
    s.message = ReadControl(dlg, IDC_MESSAGE_TEXT);
    s.yes = ReadControl(dlg, IDC_YES);
    s.cancel = ReadControl(dlg, IDC_CANCEL_BTN);
    s.exit = ReadControl(dlg, IDC_EXIT);
    s.reboot = ReadControl(dlg, IDC_REBOOT);
    s.focus = probe::FocusedControlId(dlg);
    return s;
}

HWND WaitForDialog(const char* title, DWORD timeoutMs) {
    return probe::WaitForTopWindow(::GetCurrentProcessId(), kDialogClass, title, timeoutMs);
}

std::string ChildTexts(HWND wnd) {
    std::string texts;
    for (HWND child = ::GetWindow(wnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!texts.empty()) texts += " | ";
        texts += probe::WindowText(child);
    }
    return texts;
}

void PressEscape(HWND dlg) {
    HWND focus = probe::FocusedWindow(dlg);
    HWND target = (focus != nullptr && (focus == dlg || ::IsChild(dlg, focus))) ? focus : dlg;
    UINT scan = ::MapVirtualKeyA(VK_ESCAPE, MAPVK_VK_TO_VSC);
    ::PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 1 | (scan << 16));
    ::PostMessageA(target, WM_KEYUP, VK_ESCAPE, 1 | (scan << 16) | 0xC0000000u);
}

void ClickCloseBox(HWND wnd) {
    ::PostMessageA(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

}  // namespace dialogtest

// Driving the real confirmation dialog in a test: the test thread runs it modally, a second
// thread finds its window and looks at it and clicks as a person would. The state operations
// that the update would call are reached through a private message, so that they run on the
// dialog's own thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/halvern_dlg.h"

namespace dialogtest {

constexpr char kDialogTitle[] = "Ostrel Pelmora update";
constexpr char kAboutTitle[] = "About ";
constexpr char kDialogClass[] = "#32770";

// The dialog's result when the driver left it open and the harness had to end it.
constexpr int kAbandoned = 0x7A11;

// What the update would ask of the dialog.
enum class Operation { Updating, Finished, Unsupported };
const char* OperationName(Operation op);

// The confirmation dialog with two test-only messages: run a state operation, and end with a
// given result.
class DrivenDialog : public CHalvernDlg {
public:
    static constexpr UINT kRunOperation = WM_APP + 0x51;  // wParam: Operation
    static constexpr UINT kEndWith = WM_APP + 0x52;       // wParam: result

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

// Runs `dlg` modally on this thread, as the updater does (it is the application's main
// window meanwhile), while `drive` runs on a second thread with the dialog's window once it
// is shown and idle (null when it did not appear within 10 s). `drive` is expected to end the
// dialog; whatever it leaves open (the About box included) is closed and the dialog ended
// with kAbandoned. Returns DoModal's result.
INT_PTR RunModal(DrivenDialog& dlg, const std::function<void(HWND)>& drive);

// Runs `op` on the dialog's thread (in this process or another) and returns when it is done.
// False when the dialog did not answer.
bool RunOperation(HWND dlg, Operation op);

// Waits until the dialog's thread has handled everything sent or posted to it so far.
void Settle(HWND dlg);

// The state of one control as a person sees it.
struct ControlState {
    std::string text;
    bool visible = false;
    bool enabled = false;
};

// The four buttons and the message text, and which of them has the focus.
struct DialogState {
    ControlState message, yes, cancel, exit, reboot;
    int focus = 0;  // control id; 0 when none of the dialog's controls has it

    bool operator==(const DialogState& o) const;
    std::string Describe() const;
};
DialogState ReadState(HWND dlg);

// The dialog box of this process with this title; null when none appears within `timeoutMs`.
HWND WaitForDialog(const char* title, DWORD timeoutMs);

// The texts of all child windows of `wnd`, in Z order, joined with " | ".
std::string ChildTexts(HWND wnd);

// Presses Esc in `dlg` as a keyboard would: the key goes to the control with the focus (or
// the dialog) and through the dialog manager of the modal loop.
void PressEscape(HWND dlg);

// Clicks the caption's close box: the system command SC_CLOSE.
void ClickCloseBox(HWND wnd);

}  // namespace dialogtest

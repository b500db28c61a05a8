#include "afx/afx_dialog.h"

#include "afx/afx_app.h"
#include "afx/afx_file.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal() {
    HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    if (owner == nullptr && AfxGetMainWnd() != nullptr && AfxGetMainWnd() != this) {
        owner = AfxGetMainWnd()->m_hWnd;
    }
    INT_PTR result = ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner,
                                       &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int nResult) {
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::CenterOnOpen() {
    LONG style = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    if (style & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)) return;
    RECT box;
    ::GetWindowRect(m_hWnd, &box);
    RECT area;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &area);
    } else {
        MONITORINFO mi = {sizeof mi, {}, {}, 0};
        ::GetMonitorInfoA(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
        area = mi.rcWork;
    }
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    int x = area.left + ((area.right - area.left) - width) / 2;
    int y = area.top + ((area.bottom - area.top) - height) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        CenterOnOpen();
        return OnInitDialog();
    }
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) return FALSE;
    // These messages return their result directly from a dialog procedure.
    if (message == WM_QUERYDRAGICON) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dlg = nullptr;
    if (message == WM_INITDIALOG) {
        dlg = reinterpret_cast<CDialog*>(lParam);
        dlg->m_hWnd = hWnd;
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    } else {
        dlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    }
    if (dlg == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        dlg->m_hWnd = nullptr;
        return FALSE;
    }
    // No C++ exception may unwind through the window manager's frames.
    try {
        return dlg->HandleMessage(message, wParam, lParam);
    } catch (CException* e) {
        e->ReportError();
        e->Delete();
    } catch (...) {
        AfxMessageBox("An unknown error has occurred.");
    }
    return TRUE;
}

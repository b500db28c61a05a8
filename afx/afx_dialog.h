// CDialog: a modal dialog from a dialog template in the resources.
#pragma once

#include "afx/afx_wnd.h"

class CDialog : public CWnd {
public:
    // Remembers the template and the parent; creates no window.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the dialog from its template and runs it modally until EndDialog. Its owner is
    // the parent given, else the application's main window when that has a window. Returns
    // the EndDialog result, or -1 when the dialog could not be created. A dialog whose
    // template asks for no placement of its own is centred over its owner, or in the work
    // area of its monitor when it has none.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    // Called once the controls exist; TRUE lets the dialog manager focus the first tab stop.
    virtual BOOL OnInitDialog();

    // The dialog procedure. An exception that escapes a handler is reported in the
    // framework's standard error box and the dialog goes on.
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CenterOnOpen();
};

// CAboutDlg: the About box, opened from the confirmation dialog's system menu.
#pragma once

#include "afx/afxwin.h"
#include "res/resource.h"

class CAboutDlg : public CDialog {
public:
    // Remembers the template; creates no window. With no parent the box is owned by the
    // application's main window, the confirmation dialog.
    CAboutDlg();

    enum { IDD = IDD_ABOUTBOX };

protected:
    // Binds nothing: the box has no data of its own.
    void DoDataExchange(CDataExchange* pDX) override;

    // Empty: OK and Cancel end the box through the base.
    DECLARE_MESSAGE_MAP()
};

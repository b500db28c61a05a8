#include "app/halvern_app.h"

#include <mbstring.h>

#include "app/halvern_dlg.h"
#include "suite/dll_search.h"
#include "update/update_result.h"

int g_bSilent = 1;

BEGIN_MESSAGE_MAP(CHalvernApp, CWinApp)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CHalvernApp::CHalvernApp() = default;

BOOL CHalvernApp::InitInstance() {
    RestrictDllSearchToSystem();
    AfxEnableControlContainer();

    CString sCmdLine(m_lpCmdLine);
    CString sPram(kSilentSwitch);
    CHalvernDlg dlg;

    if (_mbscmp(reinterpret_cast<const unsigned char*>(sCmdLine.GetString()),
                reinterpret_cast<const unsigned char*>(sPram.GetString())) == 0) {
        m_nExitCode = dlg.RunUpdate();
        return FALSE;
    }
    m_pMainWnd = &dlg;
    // Closing the dialog before YES leaves the installation untouched; YES replaces this.
    m_nExitCode = kUpdateDeclined;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

void CHalvernDlg::OnYes() {
    g_bSilent = 0;
    // Stays the outcome when a failed write or close escapes the update to the error box.
    AfxGetApp()->m_nExitCode = kUpdateIncomplete;
    AfxGetApp()->m_nExitCode = RunUpdate();
}

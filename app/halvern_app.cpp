#include "app/halvern_app.h"

#include <mbstring.h>

#include "app/halvern_dlg.h"
#include "suite/dll_search.h"
#include "update/run_log.h"
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

    const bool silent = _mbscmp(reinterpret_cast<const unsigned char*>(sCmdLine.GetString()),
                                reinterpret_cast<const unsigned char*>(sPram.GetString())) == 0;
    // After the library search is restricted: nothing the log needs is loaded from elsewhere.
    runlog::Start(m_lpCmdLine, silent);
    if (silent) {
        m_nExitCode = dlg.RunUpdate();
        runlog::Finish(m_nExitCode);
        return FALSE;
    }
    m_pMainWnd = &dlg;
    // Closing the dialog before YES leaves the installation untouched; YES replaces this.
    m_nExitCode = kUpdateDeclined;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    runlog::Finish(m_nExitCode);
    return FALSE;
}

void CHalvernDlg::OnYes() {
    g_bSilent = 0;
    runlog::Write("YES pressed: the update runs");
    // Stays the outcome when a failed write or close escapes the update to the error box.
    AfxGetApp()->m_nExitCode = kUpdateIncomplete;
    AfxGetApp()->m_nExitCode = RunUpdate();
}

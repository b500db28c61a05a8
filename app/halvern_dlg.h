// CHalvernDlg: the confirmation dialog, and the owner of the update and of the operations it
// runs against the installed suite. In silent mode the object is built but never gets a
// window; then only the update and the suite operations run, and they touch no control.
#pragma once

#include "afx/afxwin.h"
#include "res/resource.h"
#include "suite/suite_stopper.h"

class CHalvernDlg : public CDialog {
public:
    // Creates no window and loads nothing: the icon is loaded when the dialog gets a window.
    explicit CHalvernDlg(CWnd* pParent = nullptr);

    enum { IDD = IDD_HALVERN_DIALOG };

    // --- The update (update/update_sequence.cpp) ------------------------------------------
    // Runs the whole update once and returns its outcome as the process exit code (see
    // update/update_result.h). Changes the dialog and shows message boxes only when
    // g_bSilent is 0.
    int RunUpdate();

    // --- Dialog states (app/halvern_dlg.cpp) ----------------------------------------------
    void ShowUpdating();
    // `bRestartNeeded`: some files take effect at the next restart; the text says so and the
    // Reboot button is shown beside DONE.
    void ShowFinished(bool bRestartNeeded = false);
    void ShowUnsupported();

    // --- Installation probes (suite/installation_probes.cpp) ------------------------------
    // 1 when the installed version may be updated; 0 otherwise, with g_bAlreadyCurrent set
    // to 1 for a version 2.x or above and to 0 for one below 1.02.00 (left alone on a failed
    // read).
    int CheckInstalledVersion();
    // 1 when "RootPath" was read into g_szRootPath and is not empty; 0 otherwise, with
    // g_szRootPath left as it was.
    int ReadRootPath();
    // Nonzero when this 32-bit process runs on 64-bit Windows.
    BOOL IsWow64();

    // --- Stopping the running suite (suite/suite_stopper.cpp) ------------------------------
    // Asks the product's window to close and looks for it every 50 ms until it is gone; the
    // first process named "Pelmora.exe" then has the rest of `budgets.closeMs` (6000 ms;
    // counted from the request) to end by itself before it is terminated. Without a window it
    // is terminated at once. Then has the support library close the rest.
    void CloseRunningSuite(const suite::StopBudgets& budgets = suite::StopBudgets());
    // Finds the first process whose image name equals `lpszName` (ASCII case ignored) and
    // waits up to `dwGraceMs` for it to end by itself; if it still runs, terminates it and
    // waits up to `budgets.terminatedEndMs` (5000 ms) for its end, so that its executable is
    // released on return. 1 when a process was terminated; 0 when none was found, it ended
    // within `dwGraceMs`, or it could not be terminated.
    int KillProcessByName(const wchar_t* lpszName, DWORD dwGraceMs = 0,
                          const suite::StopBudgets& budgets = suite::StopBudgets());
    // Loads the temporary copy of the support library, calls its close-down export once and
    // unloads it. 0 when the copy is missing, differs from the embedded library, or cannot
    // be loaded; else the result of unloading it.
    BOOL CallSupportClose();

    // --- Companion refresh (suite/companion.cpp) -------------------------------------------
    // 1 when the companion's executable path was derived into g_szCompanionExe and its start
    // with "-q" requested; 0 (nothing started, g_szCompanionExe empty) otherwise, also when the
    // uninstall command has no exact form in the ANSI code page.
    int RefreshCompanion();

protected:
    HICON m_hIcon;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnYes();
    afx_msg void OnExit();
    afx_msg void OnReboot();

    DECLARE_MESSAGE_MAP()
};

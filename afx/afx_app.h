// CWinApp: the one application object, and the framework's global services.
#pragma once

#include <windows.h>

#include "afx/afx_msgmap.h"
#include "afx/afx_string.h"

class CWnd;

class CWinApp : public CCmdTarget {
public:
    // Registers this object as the process's application. With no name, the name is the
    // executable's file name without its extension (set by AfxWinInit).
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The application's work. FALSE ends the program at once (ExitInstance follows).
    virtual BOOL InitInstance();
    // Called last; its result is the process exit code (m_nExitCode).
    virtual int ExitInstance();
    // Pumps messages until WM_QUIT; then ExitInstance. Only runs when InitInstance said TRUE.
    virtual int Run();

    // Loads icon `nIDResource` of the resource module at the system's large icon size.
    HICON LoadIcon(UINT nIDResource) const;

    LPCSTR m_pszAppName = nullptr;  // message box caption
    HINSTANCE m_hInstance = nullptr;
    LPCSTR m_lpCmdLine = "";        // the command tail
    CWnd* m_pMainWnd = nullptr;
    int m_nExitCode = 0;

protected:
    afx_msg void OnHelp();

    DECLARE_MESSAGE_MAP()

private:
    CString m_strAppName;
    friend void AfxWinInit(CWinApp*, HINSTANCE, LPCSTR);
};

#define ID_HELP 0xE146

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// The module whose resources the program uses: its own executable.
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstance);
// No dialog of this program hosts ActiveX controls; kept for the framework's start-up order.
void AfxEnableControlContainer();

// Shows `lpszText` in a message box captioned with the application's name. A box that names
// no icon gets the exclamation icon (OK, OK/Cancel) or the question icon (Yes/No). Its owner
// is the main window when that has a window; that window is disabled while the box is open.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// Fills the application's instance, resource module, name and command tail (taken from
// `lpszCmdLine`, the whole command line, by the rules of afx::CommandTail).
void AfxWinInit(CWinApp* pApp, HINSTANCE hInstance, LPCSTR lpszCmdLine);
// The program's start: AfxWinInit, InitInstance, then ExitInstance (or Run). Returns the
// process exit code.
int AfxWinMain(HINSTANCE hInstance);

#include "afx/afx_app.h"

#include "afx/afx_wnd.h"
#include "afx/command_tail.h"

namespace {

CWinApp* g_pApp = nullptr;
HINSTANCE g_hResource = nullptr;

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) : m_strAppName(lpszAppName) {
    m_pszAppName = lpszAppName != nullptr ? m_strAppName.GetString() : nullptr;
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return m_nExitCode;
}

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() {
    return g_pApp;
}

CWnd* AfxGetMainWnd() {
    return g_pApp != nullptr ? g_pApp->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle() {
    if (g_pApp != nullptr && g_pApp->m_hInstance != nullptr) return g_pApp->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    return g_hResource != nullptr ? g_hResource : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstance) {
    g_hResource = hInstance;
}

void AfxEnableControlContainer() {}

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT) {
    if ((nType & MB_ICONMASK) == 0) {
        switch (nType & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL: nType |= MB_ICONEXCLAMATION; break;
        case MB_YESNO:
        case MB_YESNOCANCEL: nType |= MB_ICONQUESTION; break;
        default: break;
        }
    }
    CWnd* main = AfxGetMainWnd();
    HWND owner = main != nullptr ? main->m_hWnd : nullptr;
    if (owner != nullptr && !::IsWindow(owner)) owner = nullptr;
    LPCSTR caption = (g_pApp != nullptr && g_pApp->m_pszAppName != nullptr) ? g_pApp->m_pszAppName : "";
    return ::MessageBoxA(owner, lpszText, caption, nType);
}

void AfxWinInit(CWinApp* pApp, HINSTANCE hInstance, LPCSTR lpszCmdLine) {
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = afx::CommandTail(lpszCmdLine, &afx::IsLeadByteInAnsiCodePage);
    if (pApp->m_pszAppName != nullptr) return;
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(hInstance, path, MAX_PATH);
    const char* name = path;
    for (const char* p = path; *p != 0; p = ::CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
    }
    pApp->m_strAppName = name;
    const char* dot = nullptr;
    for (const char* p = name; *p != 0; p = ::CharNextA(p)) {
        if (*p == '.') dot = p;
    }
    if (dot != nullptr) pApp->m_strAppName = CString(name, static_cast<int>(dot - name));
    pApp->m_pszAppName = pApp->m_strAppName.GetString();
}

int AfxWinMain(HINSTANCE hInstance) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return -1;
    AfxWinInit(app, hInstance, ::GetCommandLineA());
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}

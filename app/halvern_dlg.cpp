#include "app/halvern_dlg.h"

#include "app/about_dlg.h"
#include "app/shutdown_privilege.h"

namespace {

// The system reserves the low four bits of a system command; an item of ours keeps them clear.
static_assert((IDM_ABOUTBOX & 0xFFF0) == IDM_ABOUTBOX, "the About command must be a system command id");

const char kUpdatingText[] = "Updating...";
const char kFinishedText[] =
    "Pelmora update installation is finished. The settings are applied at the next Pelmora launch. "
    "Click DONE to exit the process.";
const char kFinishedRestartText[] =
    "Pelmora update installation is finished. Restart Windows to complete it: click Reboot to restart now, "
    "or DONE to exit the process.";
const char kUnsupportedText[] =
    "Your system cannot support Pelmora update. Click Cancel to exit the installation.";

// Each state step acts on a control of the template. Without a window (silent mode) there is
// no control, and the step does nothing rather than act on a null object.
void ShowControl(CWnd* dlg, int nID, int nCmdShow) {
    CWnd* control = dlg->GetDlgItem(nID);
    if (control != nullptr) control->ShowWindow(nCmdShow);
}

void EnableControl(CWnd* dlg, int nID, BOOL bEnable) {
    CWnd* control = dlg->GetDlgItem(nID);
    if (control != nullptr) control->EnableWindow(bEnable);
}

void FocusControl(CWnd* dlg, int nID) {
    CWnd* control = dlg->GetDlgItem(nID);
    if (control != nullptr) control->SetFocus();
}

}  // namespace

CHalvernDlg::CHalvernDlg(CWnd* pParent) : CDialog(IDD, pParent), m_hIcon(nullptr) {}

void CHalvernDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
}

BEGIN_MESSAGE_MAP(CHalvernDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_YES, OnYes)
    ON_BN_CLICKED(IDC_EXIT, OnExit)
    ON_BN_CLICKED(IDC_CANCEL_BTN, OnExit)
    ON_BN_CLICKED(IDC_REBOOT, OnReboot)
END_MESSAGE_MAP()

BOOL CHalvernDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu != nullptr) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    // Loaded only now: a silent run never shows the dialog, and loading an icon makes the
    // system connect to the display.
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    // The dialog manager focuses the first tab stop, IDC_YES.
    return TRUE;
}

void CHalvernDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) != IDM_ABOUTBOX) {
        CDialog::OnSysCommand(nID, lParam);
        return;
    }
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

void CHalvernDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    // The icon centred in the client area.
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CHalvernDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CHalvernDlg::OnExit() {
    OnCancel();
}

void CHalvernDlg::OnReboot() {
    if (!EnableShutdownPrivilege()) return;
    ::ExitWindowsEx(EWX_REBOOT, 0);
}

void CHalvernDlg::ShowUpdating() {
    SetDlgItemText(IDC_MESSAGE_TEXT, kUpdatingText);
    EnableControl(this, IDC_YES, FALSE);
    EnableControl(this, IDC_CANCEL_BTN, FALSE);
    // The update then runs on this thread and handles no message until it ends: what is not
    // drawn now is not drawn before the Finished state, and Cancel would look enabled. The look
    // at the queue is what a message loop's would be: where the system keeps a window's drawing
    // until the thread next looks for messages (Wine), it hands the drawing to the screen.
    if (m_hWnd != nullptr) {
        ::UpdateWindow(m_hWnd);
        MSG msg;
        ::PeekMessage(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE);
    }
}

void CHalvernDlg::ShowFinished(bool bRestartNeeded) {
    SetDlgItemText(IDC_MESSAGE_TEXT, bRestartNeeded ? kFinishedRestartText : kFinishedText);
    SetDlgItemText(IDC_EXIT, "DONE");
    ShowControl(this, IDC_YES, SW_HIDE);
    ShowControl(this, IDC_CANCEL_BTN, SW_HIDE);
    ShowControl(this, IDC_EXIT, SW_SHOWNORMAL);
    ShowControl(this, IDC_REBOOT, bRestartNeeded ? SW_SHOWNORMAL : SW_HIDE);
}

void CHalvernDlg::ShowUnsupported() {
    SetDlgItemText(IDC_MESSAGE_TEXT, kUnsupportedText);
    SetDlgItemText(IDC_EXIT, "Cancel");
    FocusControl(this, IDC_EXIT);
    EnableControl(this, IDC_EXIT, TRUE);
    ShowControl(this, IDC_YES, SW_HIDE);
    ShowControl(this, IDC_CANCEL_BTN, SW_HIDE);
    ShowControl(this, IDC_EXIT, SW_SHOWNORMAL);
}

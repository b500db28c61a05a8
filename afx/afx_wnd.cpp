#include "afx/afx_wnd.h"

#include <map>
#include <memory>

namespace {

// The wrappers FromHandle hands out, one per handle value, whoever created the window or menu.
// They hold a handle each and live until the process ends, as the framework's permanent map
// would keep them.
template <typename H, typename W>
W* ProcessLongWrapper(H handle) {
    static std::map<H, std::unique_ptr<W>> wrappers;
    std::unique_ptr<W>& slot = wrappers[handle];
    if (!slot) slot.reset(new W());
    return slot.get();
}

// A handler may run a modal loop that dispatches further messages to the same window; each
// dispatch keeps its own request for the default handling, restored when the inner one ends.
class DefaultRequestScope {
public:
    explicit DefaultRequestScope(bool& flag) : m_flag(flag), m_saved(flag) { m_flag = false; }
    ~DefaultRequestScope() { m_flag = m_saved; }
    DefaultRequestScope(const DefaultRequestScope&) = delete;
    DefaultRequestScope& operator=(const DefaultRequestScope&) = delete;

private:
    bool& m_flag;
    bool m_saved;
};

}  // namespace

CMenu* CMenu::FromHandle(HMENU hMenu) {
    if (hMenu == nullptr) return nullptr;
    CMenu* menu = ProcessLongWrapper<HMENU, CMenu>(hMenu);
    menu->m_hMenu = hMenu;
    return menu;
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem) {
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (hWnd == nullptr) return nullptr;
    CWnd* wnd = ProcessLongWrapper<HWND, CWnd>(hWnd);
    wnd->m_hWnd = hWnd;
    return wnd;
}

CWnd* CWnd::GetDlgItem(int nID) const {
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString) {
    ::SetDlgItemTextA(m_hWnd, nID, lpszString);
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    return ::EnableWindow(m_hWnd, bEnable);
}

CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}

BOOL CWnd::IsIconic() const {
    return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    ::GetClientRect(m_hWnd, lpRect);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const {
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::Default() {
    m_bDefaultRequested = true;
    return 0;
}

void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}

void CWnd::OnPaint() {
    Default();
}

HCURSOR CWnd::OnQueryDragIcon() {
    Default();
    return nullptr;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    *pResult = 0;
    DefaultRequestScope request(m_bDefaultRequested);
    if (message == WM_COMMAND) {
        return OnCmdMsg(LOWORD(wParam), HIWORD(wParam)) && !m_bDefaultRequested;
    }
    const AFX_MSGMAP_ENTRY* e = FindMessageEntry(message, 0, 0);
    if (e == nullptr) return FALSE;
    switch (e->nSig) {
    case AfxSig_vv:
        (this->*reinterpret_cast<void (CWnd::*)()>(e->pfn))();
        break;
    case AfxSig_vwl:
        (this->*reinterpret_cast<void (CWnd::*)(UINT, LPARAM)>(e->pfn))(static_cast<UINT>(wParam), lParam);
        break;
    case AfxSig_hv:
        *pResult = reinterpret_cast<LRESULT>((this->*reinterpret_cast<HCURSOR (CWnd::*)()>(e->pfn))());
        break;
    default:
        return FALSE;
    }
    return !m_bDefaultRequested;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) {
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
}

// CWnd, CMenu and CPaintDC: thin owners of a window, a menu and a paint context.
#pragma once

#include <windows.h>

#include "afx/afx_msgmap.h"
#include "afx/afx_string.h"

class CDataExchange {
public:
    BOOL m_bSaveAndValidate = FALSE;
};

class CMenu {
public:
    HMENU m_hMenu = nullptr;
    // A wrapper for `hMenu`, one per handle value, kept until the process ends; null for a null
    // handle.
    static CMenu* FromHandle(HMENU hMenu);
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
};

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}

    HWND m_hWnd = nullptr;
    // A wrapper for `hWnd`, one per handle value, made on first request and kept until the
    // process ends; it holds nothing but the handle. It is never the object that created the
    // window (a dialog's own CDialog, say), so only CWnd's members act through it. Null for a
    // null handle.
    static CWnd* FromHandle(HWND hWnd);

    CWnd* GetDlgItem(int nID) const;
    void SetDlgItemText(int nID, LPCSTR lpszString);
    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    CWnd* SetFocus();
    BOOL IsIconic() const;
    void GetClientRect(LPRECT lpRect) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    // The window's system menu (bRevert FALSE: the current one). Null when it has none.
    CMenu* GetSystemMenu(BOOL bRevert) const;

    // Dispatches one window message through the message map. Returns TRUE when a handler
    // took it and did not ask for the default handling; *pResult gets the handler's result.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // Asks for the window manager's default handling of the message being dispatched.
    LRESULT Default();

    // The base handlers: each leaves the message to the default handling.
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();

    bool m_bDefaultRequested = false;
};

class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    HDC m_hDC = nullptr;
    PAINTSTRUCT m_ps = {};

private:
    HWND m_hWnd;
};

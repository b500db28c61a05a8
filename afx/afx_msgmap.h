// Command targets and static message maps: tables that route window messages and button
// clicks to member handlers, each class's table chained to its base class's.
#pragma once

#include <windows.h>

class CCmdTarget;
class CWnd;

typedef void (CCmdTarget::*AFX_PMSG)();

// How a handler is called, and what it returns.
enum AfxSig : UINT {
    AfxSig_end = 0,
    AfxSig_vv,       // void Handler()
    AfxSig_vwl,      // void Handler(UINT, LPARAM)
    AfxSig_hv,       // HCURSOR Handler(), its result returned to the window manager
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // window message; WM_COMMAND for commands and button clicks
    UINT nCode;     // notification code for WM_COMMAND
    UINT nID;       // control or command id for WM_COMMAND
    UINT nSig;      // AfxSig
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define afx_msg

#define DECLARE_MESSAGE_MAP()                      \
protected:                                         \
    static const AFX_MSGMAP* GetThisMessageMap();  \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                          \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                  \
        using ThisClass [[maybe_unused]] = theClass;                                   \
        using TheBaseClass = baseClass;                                                \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                  \
            {0, 0, 0, AfxSig_end, nullptr}};                                                   \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
        return &messageMap;                                                                    \
    }

#define AFX_MSG_CAST(sig, fn) reinterpret_cast<AFX_PMSG>(static_cast<sig>(fn))

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, static_cast<UINT>(id), AfxSig_vv, AFX_MSG_CAST(void (CCmdTarget::*)(), &ThisClass::memberFxn)},
#define ON_BN_CLICKED(id, memberFxn) \
    {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), AfxSig_vv, AFX_MSG_CAST(void (CCmdTarget::*)(), &ThisClass::memberFxn)},
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, AfxSig_vwl, AFX_MSG_CAST(void (CWnd::*)(UINT, LPARAM), &ThisClass::OnSysCommand)},
#define ON_WM_PAINT() \
    {WM_PAINT, 0, 0, AfxSig_vv, AFX_MSG_CAST(void (CWnd::*)(), &ThisClass::OnPaint)},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, AfxSig_hv, AFX_MSG_CAST(HCURSOR (CWnd::*)(), &ThisClass::OnQueryDragIcon)},

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Routes command `nID` with notification `nCode` through the message maps, most derived
    // first. TRUE when a handler ran.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    // The first entry, most derived map first, for `message` (and, for WM_COMMAND, code and id).
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT nCode, UINT nID) const;

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

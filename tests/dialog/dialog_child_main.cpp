// dialog_child.exe: see dialog_child.h.
#include <cstring>

#include "afx/afxwin.h"
#include "app/shutdown_privilege.h"
#include "dialog_child.h"
#include "dialog_driver.h"

namespace {

class ChildApp : public CWinApp {
public:
    ChildApp() : CWinApp("Ostrel Pelmora update") {}
};

ChildApp theChildApp;

}  // namespace

int main(int argc, char** argv) {
    AfxWinInit(&theChildApp, ::GetModuleHandleA(nullptr), ::GetCommandLineA());
    if (argc == 2 && std::strcmp(argv[1], "privilege") == 0) {
        BOOL granted = EnableShutdownPrivilege();
        DWORD error = ::GetLastError();
        return static_cast<int>((granted ? dialogtest::kGrantedFlag : 0) | (error & 0xFFFF));
    }
    if (argc == 2 && std::strcmp(argv[1], "dialog") == 0) {
        dialogtest::DrivenDialog dlg;
        theChildApp.m_pMainWnd = &dlg;
        dlg.DoModal();
        theChildApp.m_pMainWnd = nullptr;
        return 0;
    }
    return static_cast<int>(dialogtest::kBadArguments);
}

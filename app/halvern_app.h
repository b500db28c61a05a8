// CHalvernApp: the application. Its InitInstance does all the work and returns FALSE, so
// the process ends when the update (silent) or the dialog (interactive) is done.
#pragma once

#include "afx/afxwin.h"

// Run mode: nonzero = silent (no window, no message box, rows that cannot be created are
// skipped), 0 = interactive. 1 from static initialisation; set to 0 only by the YES button,
// just before the update runs, and never set back.
extern int g_bSilent;

class CHalvernApp : public CWinApp {
public:
    CHalvernApp();

    // The silent switch, compared byte for byte with the whole command tail.
    static constexpr const char* kSilentSwitch = "-s";

    // Silent mode runs the update on a dialog object that never gets a window; any other
    // command tail shows the confirmation dialog. Sets the exit code from the outcome
    // (update/update_result.h). Always FALSE.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

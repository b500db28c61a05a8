#include "update/update_result.h"

const char* UpdateResultMeaning(int code) {
    switch (code) {
    case kUpdateSucceeded: return "the update ran to its end and every row that applies was written";
    case kUpdateDeclined: return "interactive: the dialog was closed without running the update";
    case kUpdateIncomplete: return "the update started changing files and at least one row was not written";
    case kUpdateUnsupported:
        return "unsupported: not installed, version below 1.02.00, root path unreadable, a required file missing; "
               "nothing changed";
    case kUpdateInProgress:
        return "AppSetup.ini is held open by another process (another update is running); nothing changed";
    case kUpdateAlreadyCurrent: return "the installed version is already current (2.x); nothing changed";
    case kUpdateRestartRequired: return "the update ran to its end; some files take effect at the next restart";
    default: return "not an outcome of the update";
    }
}

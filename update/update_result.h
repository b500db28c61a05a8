// The outcome of a run, as the process exit code that deployment tools read. The values are
// those of the Windows Installer that such tools already know.
#pragma once

enum UpdateResult : int {
    kUpdateSucceeded = 0,         // ran to its end; every row that applies was written
    kUpdateDeclined = 1602,       // interactive: the dialog was closed without running the update
    kUpdateIncomplete = 1603,     // files were being changed and at least one row was not written
    kUpdateUnsupported = 1605,    // not installed, too old, no root path, a required file missing
    kUpdateInProgress = 1618,     // "AppSetup.ini" is held by another process
    kUpdateAlreadyCurrent = 1638, // the installed version is already 2.x
    kUpdateRestartRequired = 3010, // ran to its end; files in use take effect at the next restart
};

// What exit code `code` means, in the words of the README's table of exit codes, for the run
// log and the demo. "not an outcome of the update" for any other value.
const char* UpdateResultMeaning(int code);

// The right to restart Windows, asked for by the confirmation dialog's Reboot command. The
// decision is kept apart from the restart so that it can be checked without restarting.
#pragma once

#include <windows.h>

// Enables the shutdown privilege ("SeShutdownPrivilege") in `hToken`, which must have been
// opened with TOKEN_ADJUST_PRIVILEGES. Only the thread's last error after the adjustment
// decides: TRUE when it is ERROR_SUCCESS (the token holds the privilege, now enabled); FALSE
// when the token does not hold it (ERROR_NOT_ALL_ASSIGNED) or the adjustment failed. The
// last error is left as the adjustment set it. Shows nothing.
BOOL EnableShutdownPrivilege(HANDLE hToken);

// Opens this process's token (TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY) and enables the shutdown
// privilege in it, as above. TRUE when a restart may be requested now; FALSE when the token
// cannot be opened or does not hold the privilege. Restarts nothing itself.
BOOL EnableShutdownPrivilege();

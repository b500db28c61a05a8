// Where the process looks for libraries it loads by name.
#pragma once

#include <windows.h>

// Makes the system directory the only place where libraries loaded by name, and the imports
// of every library loaded later, are looked for: the application's and the current directory
// (for the updater typically a download folder) are no longer searched, so a library planted
// there cannot be loaded in their place. Call it first thing at start-up.
// Returns TRUE when the restriction is in force. Returns FALSE where the system lacks
// SetDefaultDllDirectories (looked up at run time) or refuses it; the current directory is
// then at least taken out of the search.
BOOL RestrictDllSearchToSystem();

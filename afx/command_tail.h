// The command tail: the process command line with the program's name taken off.
#pragma once

#include "afx/ansi_text.h"

namespace afx {

// Returns the part of `commandLine` that follows the program's name. The name is the first
// token: it ends at the first character of code 0x20 or below that stands outside double
// quotes, each double quote toggling between inside and outside; a double-byte character (its
// lead byte as `isLeadByte` says) is stepped over whole. Characters of code 0x01 to 0x20 after
// the name are skipped; blanks at the end are kept. Never reads past the terminating null.
// A null `commandLine` gives the empty tail.
const char* CommandTail(const char* commandLine, LeadBytePredicate isLeadByte);

}  // namespace afx

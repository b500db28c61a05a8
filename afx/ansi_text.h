// Text in the ANSI code page, in which the updater compares versions, opens and starts files and
// reads its command line: where its double-byte characters begin, and conversion into it.
#pragma once

#include <string>

namespace afx {

// Tells whether a byte opens a double-byte character in the code page in force.
using LeadBytePredicate = bool (*)(unsigned char byte);

// The LeadBytePredicate of the system's ANSI code page (IsDBCSLeadByte).
bool IsLeadByteInAnsiCodePage(unsigned char byte);

// `text` (terminated) in the ANSI code page; a character without a mapping becomes the code
// page's default character. Empty for a null or empty text.
std::string ToAnsi(const wchar_t* text);

}  // namespace afx

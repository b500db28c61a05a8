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
// page's default character. Empty for a null or empty text. For text to compare, never for a
// file name: a substituted character would name another file.
std::string ToAnsi(const wchar_t* text);

// The exact ANSI form of `text` (terminated, not null), for a file name to open or start: true
// and `*narrow` set only when converting it back gives `text` again. A conversion that
// substitutes a character, maps one to a look-alike or composes a sequence would name a
// different file; then false, with `*narrow` left alone.
bool ToAnsiExactly(const wchar_t* text, std::string* narrow);

}  // namespace afx

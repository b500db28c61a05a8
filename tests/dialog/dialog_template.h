// Dialog templates as stored in a module's resources, read field by field: the classic layout
// (DLGTEMPLATE) and the extended one (DLGTEMPLATEEX), with their control lists.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dlgres {

// A name that is either a 16-bit ordinal or a string (menu, class, title fields).
struct NameOrOrdinal {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::wstring text;

    // "#<ordinal>" or the text in the ANSI code page, for messages.
    std::string Describe() const;
    bool IsEmpty() const { return !isOrdinal && text.empty(); }
};

struct ControlTemplate {
    DWORD helpId = 0;  // extended only
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;      // as stored: 16 bits in a classic template, 32 bits in an extended one
    NameOrOrdinal windowClass;  // 0x0080 button, 0x0082 static, ...
    NameOrOrdinal title;
    WORD extraBytes = 0;
};

struct DialogTemplate {
    bool extended = false;
    WORD version = 0;  // extended only: 1
    DWORD helpId = 0;  // extended only
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::wstring title;
    bool hasFont = false;  // DS_SETFONT or DS_SHELLFONT
    WORD pointSize = 0;
    WORD weight = 0;       // extended only
    BYTE italic = 0;       // extended only
    BYTE charset = 0;      // extended only
    std::wstring typeface;
    std::vector<ControlTemplate> controls;
};

// Parses the template bytes. False (with `error` telling where) when the bytes end early or
// hold more than they should; `out` is then incomplete.
bool ParseDialogTemplate(const std::string& bytes, DialogTemplate* out, std::string* error);

}  // namespace dlgres

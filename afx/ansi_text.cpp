#include "afx/ansi_text.h"

#include <windows.h>

namespace afx {

bool IsLeadByteInAnsiCodePage(unsigned char byte) {
    return ::IsDBCSLeadByte(byte) != FALSE;
}

std::string ToAnsi(const wchar_t* text) {
    if (text == nullptr) return {};
    int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string narrow(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], bytes, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(bytes - 1));
    return narrow;
}

}  // namespace afx

#include "afx/ansi_text.h"

#include <windows.h>

#include <vector>

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

bool ToAnsiExactly(const wchar_t* text, std::string* narrow) {
    // The composite check and a default character are refused by the UTF-8 code page.
    const DWORD flags = ::GetACP() == CP_UTF8 ? 0 : WC_COMPOSITECHECK;
    const int bytes = ::WideCharToMultiByte(CP_ACP, flags, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return false;
    std::string converted(static_cast<size_t>(bytes), '\0');
    if (::WideCharToMultiByte(CP_ACP, flags, text, -1, &converted[0], bytes, nullptr, nullptr) != bytes) return false;
    const int chars = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, converted.c_str(), -1, nullptr, 0);
    if (chars <= 0) return false;
    std::vector<wchar_t> back(static_cast<size_t>(chars));
    if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, converted.c_str(), -1, back.data(), chars) != chars) {
        return false;
    }
    if (std::wstring(back.data()) != text) return false;
    converted.resize(static_cast<size_t>(bytes - 1));
    *narrow = converted;
    return true;
}

}  // namespace afx

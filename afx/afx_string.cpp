#include "afx/afx_string.h"

#include "afx/afx_app.h"

BOOL CString::LoadString(UINT nID) {
    m_s.clear();
    // A pointer into the string table, with the length; no fixed-size buffer to truncate.
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(AfxGetResourceHandle(), nID, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return FALSE;
    int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return FALSE;
    m_s.resize(static_cast<size_t>(bytes));
    ::WideCharToMultiByte(CP_ACP, 0, text, length, &m_s[0], bytes, nullptr, nullptr);
    return TRUE;
}

CString CString::FormatMessage1(const char* templ, const char* arg) {
    std::string out;
    for (const char* p = templ; *p != 0; ++p) {
        if (p[0] == '%' && p[1] == '1') {
            out += arg;
            ++p;
        } else {
            out += *p;
        }
    }
    return CString(out.c_str(), static_cast<int>(out.size()));
}

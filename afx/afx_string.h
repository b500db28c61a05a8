// CString: the framework's narrow (ANSI code page) string, a value type.
#pragma once

#include <windows.h>

#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_s(text != nullptr ? text : "") {}  // NOLINT: implicit as in the framework
    CString(const char* text, int length) : m_s(text, static_cast<size_t>(length)) {}

    operator const char*() const { return m_s.c_str(); }  // NOLINT
    const char* GetString() const { return m_s.c_str(); }
    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }

    CString& operator=(const char* text) {
        m_s = text != nullptr ? text : "";
        return *this;
    }
    CString& operator+=(const char* text) {
        if (text != nullptr) m_s += text;
        return *this;
    }
    friend bool operator==(const CString& a, const char* b) { return a.m_s == (b != nullptr ? b : ""); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

    // Loads string `nID` from the resource module. FALSE (and the string emptied) when the
    // string is missing or empty.
    BOOL LoadString(UINT nID);

    // Replaces every "%1" with `arg` (the framework's message-template convention).
    static CString FormatMessage1(const char* templ, const char* arg);

private:
    std::string m_s;
};

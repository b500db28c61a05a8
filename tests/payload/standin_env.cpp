#include "standin_env.h"

#include <sstream>

#include "afx/handles.h"

#ifndef HALVERN_CATALOGUE_PATH
#error "HALVERN_CATALOGUE_PATH must name payload/catalogue.tsv as the tests see it"
#endif

namespace standins {

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2];
    DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) return L".";
    return value;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cols;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        cols.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return cols;
        start = tab + 1;
    }
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    afx::FindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &found));
    if (find.valid()) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find.get(), &found));
    }
    ::RemoveDirectoryW(path.c_str());
}

}  // namespace

std::wstring StandinFile(const wchar_t* file) { return Env(L"HALVERN_BIN_DIR") + L"\\standins\\" + file; }

std::wstring PayloadFile(const std::string& source) {
    std::wstring path = Env(L"HALVERN_PAYLOAD_DIR") + L"\\" + Widen(source);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

bool ReadWholeFile(const std::wstring& path, std::vector<unsigned char>* bytes) {
    bytes->clear();
    afx::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) return false;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) return false;
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes->empty() &&
        (!::ReadFile(file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) ||
         got != bytes->size())) {
        bytes->clear();
        return false;
    }
    return true;
}

std::vector<CatalogueRow> ReadCatalogue() {
    std::vector<CatalogueRow> rows;
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(Widen(HALVERN_CATALOGUE_PATH), &bytes)) return rows;
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cols = SplitTabs(line);
        if (cols.size() != 8) continue;
        rows.push_back({number, cols[0], cols[4], cols[7]});
    }
    return rows;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

ScratchFolder::ScratchFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    DWORD n = ::GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) return;
    m_path = std::wstring(temp) + L"standins-" + name + L"-" + std::to_wstring(::GetCurrentProcessId());
    RemoveTree(m_path);
    m_ok = ::CreateDirectoryW(m_path.c_str(), nullptr) != FALSE;
}

ScratchFolder::~ScratchFolder() {
    if (m_ok) RemoveTree(m_path);
}

std::wstring ScratchFolder::CopyIn(const std::wstring& from, const wchar_t* name) const {
    std::wstring to = m_path + L"\\" + name;
    if (!m_ok || !::CopyFileW(from.c_str(), to.c_str(), FALSE)) return {};
    return to;
}

}  // namespace standins

// The start-up restriction of library search, in a program of its own: it changes the whole
// process for good.
#include <gtest/gtest.h>

#include <string>

#include "suite/dll_search.h"
#include "test_env.h"

namespace {

constexpr wchar_t kCurrentDirProbe[] = L"suite_search_probe.dll";
constexpr wchar_t kProgramDirProbe[] = L"suite_appdir_probe.dll";

std::wstring ProgramDir() {
    wchar_t self[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir = self;
    return dir.substr(0, dir.find_last_of(L'\\'));
}

// A library placed for the test's life, removed again at its end.
class PlacedLibrary {
public:
    explicit PlacedLibrary(const std::wstring& path) : m_path(path) {
        m_ok = ::CopyFileW(testenv::BinFile(L"standins\\Quorvel.dll").c_str(), path.c_str(), FALSE) != FALSE;
    }
    ~PlacedLibrary() { ::DeleteFileW(m_path.c_str()); }
    PlacedLibrary(const PlacedLibrary&) = delete;
    PlacedLibrary& operator=(const PlacedLibrary&) = delete;
    bool ok() const { return m_ok; }
    const std::wstring& path() const { return m_path; }

private:
    std::wstring m_path;
    bool m_ok = false;
};

struct LoadCase {
    const char* name;
    std::wstring request;
    bool loads;
};

TEST(DllSearch, OnlyTheSystemDirectoryIsSearched) {
    const std::wstring dir = testenv::FreshDir(L"suite-dll-search");
    PlacedLibrary inCurrentDir(dir + L"\\" + kCurrentDirProbe);
    PlacedLibrary inProgramDir(ProgramDir() + L"\\" + kProgramDirProbe);
    ASSERT_TRUE(inCurrentDir.ok() && inProgramDir.ok()) << "the probe libraries could not be placed";
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.c_str()));
    // Without the restriction both places are searched, which the cases below rely on.
    for (const wchar_t* name : {kCurrentDirProbe, kProgramDirProbe}) {
        afx::Library before(::LoadLibraryW(name));
        ASSERT_TRUE(before) << testenv::Narrow(name) << " was not found before the restriction";
    }

    ASSERT_NE(RestrictDllSearchToSystem(), FALSE);

    const LoadCase cases[] = {
        {"by name from the current directory", kCurrentDirProbe, false},
        {"by name from the program's directory", kProgramDirProbe, false},
        {"by full path", inCurrentDir.path(), true},
        {"a system library by name", L"version.dll", true},
    };
    for (const LoadCase& c : cases) {
        afx::Library library(::LoadLibraryW(c.request.c_str()));
        EXPECT_EQ(library.valid(), c.loads) << c.name << ", error " << ::GetLastError();
    }
    ::SetCurrentDirectoryW(L"C:\\");
}

}  // namespace

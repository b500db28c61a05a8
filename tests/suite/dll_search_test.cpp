// The start-up restriction of library search, in a program of its own: it changes the whole
// process for good.
#include <gtest/gtest.h>

#include <string>

#include "suite/dll_search.h"
#include "test_env.h"

namespace {

constexpr wchar_t kProbeName[] = L"suite_search_probe.dll";

struct LoadCase {
    const char* name;
    std::wstring request;
    bool loads;
};

TEST(DllSearch, OnlyTheSystemDirectoryIsSearched) {
    const std::wstring dir = testenv::FreshDir(L"suite-dll-search");
    const std::wstring probe = dir + L"\\" + kProbeName;
    ASSERT_TRUE(::CopyFileW(testenv::BinFile(L"standins\\Quorvel.dll").c_str(), probe.c_str(), FALSE));
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.c_str()));
    {
        // Without the restriction the current directory is searched, which the test relies on.
        afx::Library before(::LoadLibraryW(kProbeName));
        ASSERT_TRUE(before) << "the probe library in the current directory was not found before the restriction";
    }

    ASSERT_NE(RestrictDllSearchToSystem(), FALSE);

    const LoadCase cases[] = {
        {"by name from the current directory", kProbeName, false},
        {"by full path", probe, true},
        {"a system library by name", L"version.dll", true},
    };
    for (const LoadCase& c : cases) {
        afx::Library library(::LoadLibraryW(c.request.c_str()));
        EXPECT_EQ(library.valid(), c.loads) << c.name << ", error " << ::GetLastError();
    }
}

}  // namespace

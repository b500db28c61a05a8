// What another account could plant for an elevated run to meet: a link in the install tree, a
// link at a file the update replaces, a library in the temporary directory. None of them may
// lead the update to write, read or load anything but what the catalogue names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo_install.h"
#include "same_files.h"
#include "update/catalogue.h"
#include "update/update_result.h"
#include "updater_run.h"

namespace {

const std::wstring kBase = L"C:\\halvern-tests\\e2e-links";
const std::wstring kRoot = kBase + L"\\Pelmora";
const std::wstring kSkinFolder = L"\\resource\\background\\DT";

// A Unix symbolic link at `link` (a Windows path whose folder exists) to `target`.
bool PlantLink(const std::wstring& link, const std::wstring& target) {
    const size_t slash = link.find_last_of(L'\\');
    const std::wstring unixLink = testenv::UnixPath(link.substr(0, slash)) + L"/" + link.substr(slash + 1);
    return testenv::RunUnix(L"ln -s '" + testenv::UnixPath(target) + L"' '" + unixLink + L"'") == 0;
}

bool RemoveLink(const std::wstring& link) {
    const size_t slash = link.find_last_of(L'\\');
    return testenv::RunUnix(L"rm -f '" + testenv::UnixPath(link.substr(0, slash)) + L"/" + link.substr(slash + 1) +
                            L"'") == 0;
}

// Whether the file at `path` is a plain file that no account but its owner may write.
bool PlainAndNotWritableByOthers(const std::wstring& path) {
    const std::wstring p = testenv::UnixPath(path);
    return testenv::RunUnix(L"test -f '" + p + L"' && test ! -L '" + p + L"' && test $(( 0$(stat -c %a '" + p +
                            L"') & 022 )) -eq 0") == 0;
}

bool Mode666(const std::wstring& path) {
    return testenv::RunUnix(L"test $(stat -c %a '" + testenv::UnixPath(path) + L"') = 666") == 0;
}

bool MakeWorldWritable(const std::wstring& path) {
    return testenv::RunUnix(L"chmod 666 '" + testenv::UnixPath(path) + L"'") == 0;
}

std::wstring TempDir() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

// The rows whose target is in the skin folder that the first case replaces by a link.
std::vector<int> SkinFolderRows() {
    std::vector<int> rows;
    const std::wstring prefix = kSkinFolder + L"\\";
    for (int n = PayloadCatalogue::kFirstSkin; n <= PayloadCatalogue::kLastSkin; ++n) {
        if (std::wstring(PayloadCatalogue::Row(n).relativePath).compare(0, prefix.size(), prefix) == 0) rows.push_back(n);
    }
    return rows;
}

TEST(PlantedLinks, NothingIsWrittenReadOrLoadedThroughThem) {
    enum Plant { kSkinFolderLink, kTargetLink, kLibraryInTemp };
    struct Case {
        const char* name;
        Plant plant;
        DWORD exitCode;
        bool skinRowsFail;  // the rows of the linked skin folder, and only they, are not written
    } cases[] = {
        {"a skin folder that is a link to another folder", kSkinFolderLink, kUpdateIncomplete, true},
        {"a link at Pelmora.exe to a file anyone may write", kTargetLink, kUpdateSucceeded, false},
        {"a world-writable Quorvel.dll in the temporary directory", kLibraryInTemp, kUpdateSucceeded, false},
    };
    const std::vector<int> skinRows = SkinFolderRows();
    ASSERT_FALSE(skinRows.empty());
    for (const Case& c : cases) {
        demo::Installation install;
        demo::Options options;
        options.root = kRoot;
        options.runProduct = options.runCompanion = false;
        ASSERT_TRUE(install.Create(options)) << c.name;
        // What the plant leads to, which must come out as it went in.
        const std::wstring elsewhere = testenv::FreshDir(L"e2e-links\\elsewhere");
        std::wstring link;
        switch (c.plant) {
        case kSkinFolderLink:
            for (int n : skinRows) {
                const std::wstring relative = PayloadCatalogue::Row(n).relativePath;
                ASSERT_TRUE(testenv::WriteFileBytes(elsewhere + relative.substr(relative.find_last_of(L'\\')),
                                                    "elsewhere's own"))
                    << c.name;
            }
            link = kRoot + kSkinFolder;
            testenv::RemoveTree(link);
            ASSERT_TRUE(PlantLink(link, elsewhere)) << c.name;
            ASSERT_NE(0u, ::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) << c.name;
            break;
        case kTargetLink:
            link = kRoot + L"\\Pelmora.exe";
            ASSERT_TRUE(testenv::WriteFileBytes(elsewhere + L"\\Pelmora.exe", "anyone's file")) << c.name;
            ASSERT_TRUE(MakeWorldWritable(elsewhere + L"\\Pelmora.exe")) << c.name;
            ASSERT_TRUE(::DeleteFileW(link.c_str())) << c.name;
            ASSERT_TRUE(PlantLink(link, elsewhere + L"\\Pelmora.exe")) << c.name;
            break;
        case kLibraryInTemp: {
            const std::wstring planted = TempDir() + L"Quorvel.dll";
            ASSERT_TRUE(testenv::WriteFileBytes(planted, e2e::RowResource(PayloadCatalogue::kTempSupportLibrary) +
                                                             "planted"))
                << c.name;
            ASSERT_TRUE(MakeWorldWritable(planted)) << c.name;
            break;
        }
        }
        const auto elsewhereBefore = e2e::Snapshot(elsewhere);
        const auto tempBefore = e2e::Snapshot(TempDir().substr(0, TempDir().size() - 1));

        e2e::SilentRun run = e2e::RunSilent();
        ASSERT_TRUE(run.ended) << c.name;
        EXPECT_EQ(c.exitCode, run.exitCode) << c.name;
        EXPECT_TRUE(testenv::SameFiles(elsewhereBefore, e2e::Snapshot(elsewhere)))
            << c.name << ": what the link leads to changed";
        EXPECT_TRUE(testenv::SameFiles(tempBefore, e2e::Snapshot(TempDir().substr(0, TempDir().size() - 1))))
            << c.name << ": the temporary directory changed";
        const std::vector<int> missing = e2e::RowsNotWritten(kRoot, install.CompanionExe());
        EXPECT_EQ(c.skinRowsFail ? skinRows : std::vector<int>(), missing) << c.name << ": " << missing.size()
                                                                           << " rows not written";
        if (c.plant == kTargetLink) {
            EXPECT_TRUE(PlainAndNotWritableByOthers(link)) << c.name << ": the new file took the linked file's rules";
            EXPECT_TRUE(Mode666(elsewhere + L"\\Pelmora.exe")) << c.name << ": the linked file's rules changed";
        }
        if (c.plant == kLibraryInTemp) {
            EXPECT_TRUE(Mode666(TempDir() + L"Quorvel.dll")) << c.name;
            ::DeleteFileW((TempDir() + L"Quorvel.dll").c_str());
        }
        if (c.plant == kSkinFolderLink) {
            EXPECT_TRUE(RemoveLink(link)) << c.name;
        }
    }
}

}  // namespace

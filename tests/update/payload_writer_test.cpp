#include <gtest/gtest.h>
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "afx/handles.h"
#include "app/halvern_app.h"
#include "pending_renames.h"
#include "test_env.h"
#include "update/catalogue.h"
#include "update/payload_writer.h"
#include "update/rules_prefetch.h"
#include "update/staging_name.h"
#include "unwritable_files.h"
#include "window_probe.h"

namespace {

using testenv::Narrow;
using testenv::Widen;

std::string RowBytes(const PayloadEntry& row) {
    return testenv::ResourceBytes(nullptr, row.resourceType, row.resourceId);
}

std::wstring StagingPath(const std::wstring& target) {
    wchar_t staging[MAX_PATH];
    return StagingPathFor(target.c_str(), staging) ? staging : L"";
}

// A file's DACL, written and read as SDDL.
bool SetAccessRules(const std::wstring& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
        return false;
    }
    afx::LocalMemory owned(descriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    return ::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

std::wstring AccessRules(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return L"(unreadable)";
    }
    afx::LocalMemory owned(descriptor);
    wchar_t* sddl = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
        return L"(not convertible)";
    }
    afx::LocalMemory text(sddl);
    return sddl;
}

TEST(BuildTargetPath, JoinsByPlainConcatenationAndRefusesWhatWouldNameAnotherFile) {
    const std::wstring longDir = L"C:\\" + std::wstring(240, L'd');
    struct Case {
        const char* name;
        std::wstring base;
        std::wstring relative;
        bool built;
        std::wstring wide;
    } cases[] = {
        {"install directory", L"C:\\Pelmora", L"\\Pelmora.exe", true, L"C:\\Pelmora\\Pelmora.exe"},
        {"temporary directory keeps the doubled seam", L"C:\\Temp\\", L"\\Quorvel.dll", true,
         L"C:\\Temp\\\\Quorvel.dll"},
        {"blanks kept whole", L"C:\\Program Files\\Pelmora", L"\\resource\\color change\\animation\\001.png",
         true, L"C:\\Program Files\\Pelmora\\resource\\color change\\animation\\001.png"},
        {"exactly 259 characters", longDir, L"\\" + std::wstring(259 - 244, L'f'), true,
         longDir + L"\\" + std::wstring(259 - 244, L'f')},
        {"260 characters do not fit", longDir, L"\\" + std::wstring(260 - 244, L'f'), false, L""},
        {"base alone too long", std::wstring(300, L'x'), L"\\a", false, L""},
        {"character outside the code page", L"C:\\\x4E00\x4E8C", L"\\Pelmora.exe", false, L""},
        {"decomposed accent would be composed", L"C:\\Cafe\x0301", L"\\Pelmora.exe", false, L""},
    };
    for (const Case& c : cases) {
        PathBuffers path;
        BOOL built = BuildTargetPath(path, c.base.c_str(), c.relative.c_str());
        EXPECT_EQ(c.built, built != FALSE) << c.name << ": narrow \"" << path.narrow << "\"";
        if (c.built) {
            EXPECT_EQ(c.wide, std::wstring(path.wide)) << c.name;
            EXPECT_EQ(Narrow(c.wide), std::string(path.narrow)) << c.name;
        } else {
            EXPECT_STREQ("", path.narrow) << c.name << ": a refused path leaves nothing to open";
        }
    }

    PathBuffers inPlace;
    std::wcscpy(inPlace.wide, L"C:\\windows\\system32");
    ASSERT_TRUE(BuildTargetPath(inPlace, nullptr, L"\\Drivers\\Tarnwell.sys"));
    EXPECT_STREQ("C:\\windows\\system32\\Drivers\\Tarnwell.sys", inPlace.narrow) << "driver rows build in place";
}

// What the user saw while a row was written in interactive mode.
struct Observed {
    BOOL result = FALSE;
    bool boxShown = false;
    probe::MessageBoxInfo box;
};

Observed WriteWatched(const PayloadEntry& row, const std::wstring& base, CString* full, const char* companion = nullptr) {
    Observed seen;
    bool done = false;
    std::thread watcher([&] {
        DWORD start = ::GetTickCount();
        while (!done && ::GetTickCount() - start < 10000) {
            if (probe::WaitForMessageBox(::GetCurrentProcessId(), 50, &seen.box)) {
                seen.boxShown = true;
                probe::AnswerMessageBox(seen.box.hwnd);
                return;
            }
        }
    });
    CFile file;
    PathBuffers path;
    seen.result = WritePayload(row, base.c_str(), file, path, full, companion);
    done = true;
    watcher.join();
    EXPECT_FALSE(file.IsOpen()) << "the file object is closed on return";
    return seen;
}

TEST(WritePayload, TargetsThatCannotBeCreatedFollowTheRunMode) {
    const PayloadEntry& cover = PayloadCatalogue::Row(62);  // \resource\cover\cover.png
    const PayloadEntry& tempCopy = PayloadCatalogue::Row(PayloadCatalogue::kTempSupportLibrary);
    const std::wstring root = testenv::FreshDir(L"writer_modes");
    testenv::MakeDirs(root + L"\\resource\\cover");
    const std::wstring coverPath = root + L"\\resource\\cover\\cover.png";
    const std::wstring tempCopyPath = root + L"\\Quorvel.dll";
    const std::string before = "previous contents of the target";
    const PayloadEntry missingResource = {PayloadGroup::Skin, PayloadCondition::Always, PayloadBase::InstallDir,
                                          L"\\resource\\cover\\cover.png", "RE_NO_SUCH_TYPE", 999,
                                          "Can not create file PNG!"};
    enum Blocker { kNone, kImmutable, kReadOnly, kHeld, kMissingFolder, kTooLong, kNoResource };
    struct Case {
        const char* name;
        const PayloadEntry* row;
        std::wstring target;
        Blocker blocker;
    } cases[] = {
        {"unwritable skin file", &cover, coverPath, kImmutable},
        // Wine run as root would let a rename replace it: the attribute alone refuses it.
        {"read-only skin file", &cover, coverPath, kReadOnly},
        // Of no use unless it is in place now: not replaced in use, as the installed files are.
        {"temporary copy held by another process", &tempCopy, tempCopyPath, kHeld},
        {"skin folder missing", &cover, coverPath, kMissingFolder},
        {"path too long", &cover, coverPath, kTooLong},
        {"resource missing", &missingResource, coverPath, kNoResource},
    };
    for (int silent : {1, 0}) {
        for (const Case& c : cases) {
            const std::string label = std::string(c.name) + (silent ? " (silent)" : " (interactive)");
            testenv::MakeDirs(root + L"\\resource\\cover");
            ASSERT_TRUE(testenv::WriteFileBytes(c.target, before)) << label;
            std::wstring base = root;
            std::unique_ptr<testenv::Immutable> immutable;
            std::unique_ptr<testenv::HeldByOtherProcess> held;
            switch (c.blocker) {
            case kImmutable: immutable.reset(new testenv::Immutable(c.target)); ASSERT_TRUE(immutable->ok()); break;
            case kReadOnly: ASSERT_TRUE(::SetFileAttributesW(c.target.c_str(), FILE_ATTRIBUTE_READONLY)); break;
            case kHeld: held.reset(new testenv::HeldByOtherProcess(c.target)); ASSERT_TRUE(held->ok()); break;
            case kMissingFolder: base = root + L"\\no such folder"; break;
            case kTooLong: base = root + L"\\" + std::wstring(250, L'x'); break;
            default: break;
            }
            g_bSilent = silent;
            CString full("stale");
            Observed seen = WriteWatched(*c.row, base, &full);
            g_bSilent = 1;
            held.reset();
            immutable.reset();
            ::SetFileAttributesW(c.target.c_str(), FILE_ATTRIBUTE_NORMAL);

            EXPECT_TRUE(full.IsEmpty()) << label << ": " << full;
            std::string after;
            ASSERT_TRUE(testenv::ReadFileBytes(c.target, &after)) << label;
            EXPECT_EQ(before, after) << label << ": the target is left untouched";
            EXPECT_FALSE(testenv::FileExists(StagingPath(c.target))) << label << ": a staging file is left";
            if (silent) {
                EXPECT_TRUE(seen.result) << label << ": silent mode skips the row and goes on";
                EXPECT_FALSE(seen.boxShown) << label << ": silent mode shows nothing";
            } else {
                EXPECT_FALSE(seen.result) << label << ": the run must end";
                ASSERT_TRUE(seen.boxShown) << label;
                EXPECT_EQ(c.row->failureMessage, seen.box.text) << label;
                EXPECT_EQ("Ostrel Pelmora update", seen.box.caption) << label;
                EXPECT_TRUE(seen.box.exclamationIcon) << label;
            }
        }
    }
}

TEST(WritePayload, WritesTheExactResourceBytes) {
    const std::wstring root = testenv::FreshDir(L"writer_bytes");
    const std::wstring temp = root + L"\\Temp\\";
    testenv::MakeDirs(root + L"\\Temp");
    testenv::MakeDirs(root + L"\\resource\\color change\\animation");
    testenv::MakeDirs(root + L"\\Tarnwell+");
    const std::string companion = Narrow(root) + "\\Tarnwell+\\TarnwellPlus.exe";
    const DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    struct Case {
        const char* name;
        int row;
        std::wstring base;
        std::wstring expected;  // the full path handed back
        const char* companion;
        DWORD attributes;       // the old file's; 0: there is none
        const wchar_t* rules;   // the old file's access rules of its own (a DACL in SDDL), kept
    } cases[] = {
        {"larger existing product replaced, its own access rules kept", PayloadCatalogue::kProductExe, root,
         root + L"\\Pelmora.exe", nullptr, FILE_ATTRIBUTE_ARCHIVE, L"D:P(A;;FA;;;WD)(A;;FR;;;BU)"},
        {"temporary copy across the doubled seam", PayloadCatalogue::kTempSupportLibrary, temp,
         root + L"\\Temp\\Quorvel.dll", nullptr, 0, nullptr},
        {"hidden system skin file keeps its attributes", 40, root,
         root + L"\\resource\\color change\\animation\\001.png", nullptr, kHiddenSystem, nullptr},
        {"companion path used unchanged", PayloadCatalogue::kCompanionExe, L"", Widen(companion), companion.c_str(),
         FILE_ATTRIBUTE_ARCHIVE, nullptr},
    };
    for (const Case& c : cases) {
        const PayloadEntry& row = PayloadCatalogue::Row(c.row);
        const std::string expected = RowBytes(row);
        ASSERT_FALSE(expected.empty()) << c.name;
        ::SetFileAttributesW(c.expected.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(c.expected.c_str());
        if (c.attributes != 0) {
            ASSERT_TRUE(testenv::WriteFileBytes(c.expected, std::string(expected.size() + 4096, 'z'))) << c.name;
            ASSERT_TRUE(::SetFileAttributesW(c.expected.c_str(), c.attributes)) << c.name;
        }
        // Kept as the platform holds them: Wine keeps only what the file's mode bits can say.
        std::wstring rules;
        if (c.rules != nullptr) {
            ASSERT_TRUE(SetAccessRules(c.expected, c.rules)) << c.name;
            rules = AccessRules(c.expected);
        }
        // What an interrupted earlier run left under the staging name goes.
        ASSERT_TRUE(testenv::WriteFileBytes(StagingPath(c.expected), "stale staging file")) << c.name;
        CString full;
        Observed seen = WriteWatched(row, c.base, &full, c.companion);
        EXPECT_TRUE(seen.result) << c.name;
        EXPECT_FALSE(seen.boxShown) << c.name;
        EXPECT_EQ(Narrow(c.expected), std::string(full)) << c.name;
        std::string written;
        ASSERT_TRUE(testenv::ReadFileBytes(c.expected, &written)) << c.name;
        EXPECT_EQ(expected.size(), written.size()) << c.name;
        EXPECT_TRUE(expected == written) << c.name << ": bytes differ from the resource";
        DWORD kept = ::GetFileAttributesW(c.expected.c_str()) & (kHiddenSystem | FILE_ATTRIBUTE_READONLY);
        EXPECT_EQ(c.attributes & kHiddenSystem, kept) << c.name << ": attributes 0x" << std::hex << kept;
        EXPECT_FALSE(testenv::FileExists(StagingPath(c.expected))) << c.name << ": a staging file is left";
        if (c.rules != nullptr) {
            EXPECT_EQ(rules, AccessRules(c.expected)) << c.name;
        }
    }
}

// A file that another program holds is replaced all the same: moved aside where its holder
// shares deletion (as Windows holds a running program or a loaded driver), or replaced at the
// next restart where it shares nothing; a file refused for any other reason is not.
TEST(WritePayload, ReplacesAFileInUseNowOrAtTheNextRestart) {
    const PayloadEntry& row = PayloadCatalogue::Row(PayloadCatalogue::kProductExe);
    const std::string newBytes = RowBytes(row);
    const std::string oldBytes = "the running product";
    enum Blocker { kAsImage, kUnshared, kImmutable };
    struct Case {
        const char* name;
        Blocker blocker;
        bool written;
        Replacement how;
        bool newNow;  // the target holds the new bytes before the restart
    } cases[] = {
        {"held read- and delete-shared", kAsImage, true, Replacement::OldMovedAside, true},
        {"held with no sharing", kUnshared, true, Replacement::AtRestart, false},
        {"immutable", kImmutable, false, Replacement::Now, false},
    };
    struct Seen {
        std::wstring target;
        RowOutcome outcome;
    };
    std::vector<Seen> seen;
    g_bSilent = 1;
    for (const Case& c : cases) {
        const std::wstring root = testenv::FreshDir(L"writer_in_use_" + std::to_wstring(&c - cases));
        const std::wstring target = root + L"\\Pelmora.exe";
        ASSERT_TRUE(testenv::WriteFileBytes(target, oldBytes)) << c.name;
        // What an earlier run moved aside is swept once free; a name that only looks alike stays.
        const std::wstring earlier = target + L".~0badc0de", alike = target + L".~not-ours";
        ASSERT_TRUE(testenv::WriteFileBytes(earlier, "moved aside by an earlier run")) << c.name;
        ASSERT_TRUE(testenv::WriteFileBytes(alike, "not the updater's")) << c.name;
        const size_t pendingBefore = testenv::PendingRenames().size();
        std::unique_ptr<testenv::HeldByOtherProcess> held;
        std::unique_ptr<testenv::Immutable> immutable;
        if (c.blocker == kImmutable) {
            immutable.reset(new testenv::Immutable(target));
            ASSERT_TRUE(immutable->ok()) << c.name;
        } else {
            held.reset(new testenv::HeldByOtherProcess(target, c.blocker == kAsImage));
            ASSERT_TRUE(held->ok()) << c.name;
        }
        CFile file;
        PathBuffers path;
        CString full;
        RowOutcome outcome;
        EXPECT_TRUE(WritePayload(row, root.c_str(), file, path, &full, nullptr, &outcome)) << c.name;
        held.reset();
        immutable.reset();

        EXPECT_EQ(c.written, !full.IsEmpty()) << c.name << ": error " << outcome.error;
        EXPECT_EQ(static_cast<int>(c.how), static_cast<int>(outcome.replacement)) << c.name;
        std::string now;
        ASSERT_TRUE(testenv::ReadFileBytes(target, &now)) << c.name;
        EXPECT_TRUE((c.newNow ? newBytes : oldBytes) == now) << c.name << ": " << now.size() << " bytes now";
        EXPECT_FALSE(testenv::FileExists(earlier)) << c.name << ": an earlier run's aside file stays";
        EXPECT_TRUE(testenv::FileExists(alike)) << c.name << ": a file that is not the updater's went";
        std::string beside;
        switch (outcome.replacement) {
        case Replacement::OldMovedAside:
            EXPECT_TRUE(testenv::ReadFileBytes(outcome.leftBeside, &beside) && beside == oldBytes) << c.name;
            EXPECT_TRUE(testenv::IsPending(outcome.leftBeside, L"")) << c.name << ": its deletion is not scheduled";
            break;
        case Replacement::AtRestart:
            EXPECT_EQ(StagingPath(target), outcome.leftBeside) << c.name;
            EXPECT_TRUE(testenv::ReadFileBytes(outcome.leftBeside, &beside) && beside == newBytes) << c.name;
            EXPECT_TRUE(testenv::IsPending(outcome.leftBeside, target)) << c.name << ": the replacement is not scheduled";
            break;
        case Replacement::Now:
            EXPECT_EQ(pendingBefore, testenv::PendingRenames().size()) << c.name << ": something was scheduled";
            EXPECT_FALSE(testenv::FileExists(StagingPath(target))) << c.name << ": a staging file is left";
            break;
        }
        seen.push_back({target, outcome});
    }

    ASSERT_TRUE(testenv::CarryOutPendingRenames());
    for (size_t i = 0; i < seen.size(); ++i) {
        const Case& c = cases[i];
        std::string after;
        ASSERT_TRUE(testenv::ReadFileBytes(seen[i].target, &after)) << c.name;
        EXPECT_TRUE((c.written ? newBytes : oldBytes) == after) << c.name << ": " << after.size() << " bytes after the restart";
        EXPECT_TRUE(seen[i].outcome.leftBeside.empty() || !testenv::FileExists(seen[i].outcome.leftBeside))
            << c.name << ": " << Narrow(seen[i].outcome.leftBeside) << " left after the restart";
    }
}

// The update reads the rules of the files it replaces ahead, on a thread of its own: each file
// must still get its own, whichever of the two threads read them.
TEST(WritePayload, RulesReadAheadStayWithTheirFiles) {
    const std::wstring root = testenv::FreshDir(L"writer_prefetch");
    testenv::MakeDirs(root + L"\\resource\\color change\\animation");
    struct Case {
        int row;
        const wchar_t* rules;  // of the old file's own; null: only what the folder passes on
    } cases[] = {{40, L"D:P(A;;FA;;;WD)(A;;FR;;;BU)"}, {41, nullptr}, {42, L"D:P(A;;FA;;;WD)(A;;FR;;;BU)"}};
    std::vector<std::wstring> targets;
    std::vector<std::wstring> before;
    for (const Case& c : cases) {
        const std::wstring path = root + PayloadCatalogue::Row(c.row).relativePath;
        ASSERT_TRUE(testenv::WriteFileBytes(path, "old")) << c.row;
        if (c.rules != nullptr) {
            ASSERT_TRUE(SetAccessRules(path, c.rules)) << c.row;
        }
        targets.push_back(path);
        before.push_back(AccessRules(path));
    }
    ASSERT_NE(before[0], before[1]) << "the platform must tell the two sets of rules apart";
    RulesPrefetch prefetch(targets);
    for (size_t i = 0; i < targets.size(); ++i) {
        CString full;
        EXPECT_TRUE(WriteWatched(PayloadCatalogue::Row(cases[i].row), root, &full).result) << cases[i].row;
        EXPECT_EQ(before[i], AccessRules(targets[i])) << "row " << cases[i].row;
    }
}

TEST(ProbeInstallFile, OpensForReadingUnsharedAndFailsOnAHeldFile) {
    const std::wstring root = testenv::FreshDir(L"writer_probe");
    ASSERT_TRUE(testenv::WriteFileBytes(root + L"\\AppSetup.ini", "[Setup]\r\n"));
    {
        CFile file;
        PathBuffers path;
        ASSERT_TRUE(ProbeInstallFile(file, root.c_str(), L"\\AppSetup.ini", path));
        EXPECT_TRUE(file.IsOpen()) << "left open for the caller";
        HANDLE other = ::CreateFileW((root + L"\\AppSetup.ini").c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, other) << "nobody else may open it meanwhile";
        if (other != INVALID_HANDLE_VALUE) ::CloseHandle(other);
    }
    struct Case {
        const char* name;
        const wchar_t* relative;
        bool hold;
        int cause;
    } cases[] = {
        {"held by another process", L"\\AppSetup.ini", true, CFileException::sharingViolation},
        {"missing", L"\\resource\\background\\HM\\logo.png", false, CFileException::badPath},
    };
    for (const Case& c : cases) {
        std::unique_ptr<testenv::HeldByOtherProcess> held;
        if (c.hold) {
            held.reset(new testenv::HeldByOtherProcess(root + c.relative));
            ASSERT_TRUE(held->ok()) << c.name;
        }
        CFile file;
        PathBuffers path;
        CFileException error;
        EXPECT_FALSE(ProbeInstallFile(file, root.c_str(), c.relative, path, &error)) << c.name;
        EXPECT_EQ(c.cause, error.m_cause) << c.name << ": system error " << error.m_lOsError;
        EXPECT_FALSE(file.IsOpen()) << c.name;
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "afx/afxwin.h"
#include "test_env.h"
#include "unwritable_files.h"

namespace {

using testenv::Narrow;

TEST(CFileOpen, OutcomesByTargetState) {
    const std::wstring dir = testenv::FreshDir(L"afx_file_open");
    const std::wstring existing = dir + L"\\existing.bin";
    struct Case {
        const char* name;
        std::wstring path;
        UINT flags;
        std::function<std::unique_ptr<void, void (*)(void*)>()> arrange;  // holds the state for the case
        bool opens;
        int cause;
    };
    auto nothing = [] { return std::unique_ptr<void, void (*)(void*)>(nullptr, [](void*) {}); };
    auto held = [&] {
        auto* h = new testenv::HeldFile(existing);
        return std::unique_ptr<void, void (*)(void*)>(h, [](void* p) { delete static_cast<testenv::HeldFile*>(p); });
    };
    auto immutable = [&] {
        auto* i = new testenv::Immutable(existing);
        EXPECT_TRUE(i->ok()) << "chattr +i";
        return std::unique_ptr<void, void (*)(void*)>(i, [](void* p) { delete static_cast<testenv::Immutable*>(p); });
    };
    const UINT create = CFile::modeCreate | CFile::modeWrite;
    Case cases[] = {
        {"create in existing folder", dir + L"\\new.bin", create, nothing, true, CFileException::none},
        {"create over existing file", existing, create, nothing, true, CFileException::none},
        {"create in missing folder", dir + L"\\missing\\new.bin", create, nothing, false, CFileException::badPath},
        {"read a missing file", dir + L"\\absent.bin", CFile::modeRead, nothing, false, CFileException::fileNotFound},
        {"create over a file another opener holds", existing, create, held, false,
         CFileException::sharingViolation},
        {"read a file another opener holds", existing, CFile::modeRead, held, false,
         CFileException::sharingViolation},
        {"create over an unwritable file", existing, create, immutable, false, CFileException::accessDenied},
        {"read an unwritable file", existing, CFile::modeRead, immutable, true, CFileException::none},
    };
    for (Case& c : cases) {
        ASSERT_TRUE(testenv::WriteFileBytes(existing, "previous contents")) << c.name;
        auto state = c.arrange();
        CFile file;
        CFileException error;
        BOOL opened = file.Open(Narrow(c.path).c_str(), c.flags, &error);
        EXPECT_EQ(c.opens, opened != FALSE) << c.name << ": system error " << error.m_lOsError;
        if (opened) {
            EXPECT_STREQ(Narrow(c.path).c_str(), file.GetFilePath()) << c.name;
        } else {
            EXPECT_EQ(c.cause, error.m_cause) << c.name << ": system error " << error.m_lOsError;
            EXPECT_STREQ(Narrow(c.path).c_str(), error.m_strFileName) << c.name;
            EXPECT_FALSE(file.IsOpen()) << c.name;
        }
    }
}

TEST(CFileOpen, CreateTruncatesSharesWithNobodyAndInherits) {
    const std::wstring dir = testenv::FreshDir(L"afx_file_share");
    const std::wstring path = dir + L"\\target.bin";
    ASSERT_TRUE(testenv::WriteFileBytes(path, std::string(5000, 'x')));

    CFile file;
    ASSERT_TRUE(file.Open(Narrow(path).c_str(), CFile::modeCreate | CFile::modeWrite));
    EXPECT_EQ(0u, file.GetLength()) << "an existing file is truncated on open";
    DWORD flags = 0;
    ASSERT_TRUE(::GetHandleInformation(file.m_hFile, &flags));
    EXPECT_TRUE(flags & HANDLE_FLAG_INHERIT) << "flags " << flags;
    const DWORD accesses[] = {GENERIC_READ, GENERIC_WRITE, DELETE};
    for (DWORD access : accesses) {
        HANDLE other = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, other) << "second opener with access " << std::hex << access;
        if (other != INVALID_HANDLE_VALUE) ::CloseHandle(other);
    }
    file.Write("abc", 3);
    file.Close();
    EXPECT_TRUE(file.GetFilePath().IsEmpty()) << "path after close: " << file.GetFilePath();
    std::string bytes;
    ASSERT_TRUE(testenv::ReadFileBytes(path, &bytes));
    EXPECT_EQ("abc", bytes);

    CFile noInherit;
    ASSERT_TRUE(noInherit.Open(Narrow(path).c_str(), CFile::modeRead | CFile::modeNoInherit));
    ASSERT_TRUE(::GetHandleInformation(noInherit.m_hFile, &flags));
    EXPECT_FALSE(flags & HANDLE_FLAG_INHERIT) << "flags " << flags;
}

TEST(CFileOpen, FullPathIsAbsoluteAndCollapsesADoubledSeparator) {
    const std::wstring dir = testenv::FreshDir(L"afx_file_path");
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.c_str()));
    CFile relative;
    ASSERT_TRUE(relative.Open("relative.bin", CFile::modeCreate | CFile::modeWrite));
    EXPECT_STREQ(Narrow(dir + L"\\relative.bin").c_str(), relative.GetFilePath());
    CFile doubled;
    ASSERT_TRUE(doubled.Open(Narrow(dir + L"\\\\doubled.bin").c_str(), CFile::modeCreate | CFile::modeWrite));
    EXPECT_STREQ(Narrow(dir + L"\\doubled.bin").c_str(), doubled.GetFilePath());
    ::SetCurrentDirectoryW(L"C:\\");
}

TEST(CFileWrite, AFailedWriteRaisesAFileExceptionNamingTheFile) {
    const std::wstring dir = testenv::FreshDir(L"afx_file_write");
    const std::wstring path = dir + L"\\readonly-handle.bin";
    ASSERT_TRUE(testenv::WriteFileBytes(path, "data"));
    CFile file;
    ASSERT_TRUE(file.Open(Narrow(path).c_str(), CFile::modeRead));
    bool raised = false;
    try {
        file.Write("x", 1);
    } catch (CFileException* e) {
        raised = true;
        EXPECT_EQ(CFileException::accessDenied, e->m_cause) << "system error " << e->m_lOsError;
        char text[512];
        ASSERT_TRUE(e->GetErrorMessage(text, sizeof text));
        EXPECT_NE(nullptr, strstr(text, Narrow(path).c_str())) << text;
        e->Delete();
    }
    EXPECT_TRUE(raised);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
}

TEST(CFileException, MapsSystemErrors) {
    struct Case {
        LONG error;
        int cause;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, CFileException::fileNotFound},
        {ERROR_PATH_NOT_FOUND, CFileException::badPath},
        {ERROR_ACCESS_DENIED, CFileException::accessDenied},
        {ERROR_SHARING_VIOLATION, CFileException::sharingViolation},
        {ERROR_DISK_FULL, CFileException::diskFull},
        {ERROR_HANDLE_DISK_FULL, CFileException::diskFull},
        {ERROR_NOT_ENOUGH_MEMORY, CFileException::genericException},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.cause, CFileException::OsErrorToException(c.error)) << "system error " << c.error;
    }
}

}  // namespace

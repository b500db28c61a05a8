#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "afx/afxwin.h"
#include "afx_test_ids.h"
#include "window_probe.h"

namespace {

TEST(AfxMessageBox, CaptionIsTheApplicationNameAndAnOkBoxGetsTheExclamationIcon) {
    struct Case {
        const char* name;
        UINT type;
        bool exclamation;
    } cases[] = {
        {"plain OK", MB_OK, true},
        {"OK with an icon of its own", MB_OK | MB_ICONINFORMATION, false},
    };
    for (const Case& c : cases) {
        probe::MessageBoxInfo seen;
        bool found = false;
        std::thread watcher([&] {
            found = probe::WaitForMessageBox(::GetCurrentProcessId(), 10000, &seen);
            if (found) probe::AnswerMessageBox(seen.hwnd);
        });
        int result = AfxMessageBox("Can not create file PNG!", c.type);
        watcher.join();
        ASSERT_TRUE(found) << c.name;
        EXPECT_EQ(IDOK, result) << c.name;
        EXPECT_EQ("Ostrel Pelmora update", seen.caption) << c.name;
        EXPECT_EQ("Can not create file PNG!", seen.text) << c.name;
        EXPECT_EQ(c.exclamation, seen.exclamationIcon) << c.name;
        EXPECT_EQ(nullptr, seen.owner) << c.name << ": no main window, no owner";
    }
}

class ThrowingDialog : public CDialog {
public:
    ThrowingDialog() : CDialog(IDD_THROWING) {}
    int m_throws = 0;

protected:
    afx_msg void OnThrow() {
        ++m_throws;
        CFileException::ThrowOsError(ERROR_DISK_FULL, "C:\\Pelmora\\resource\\cover\\cover.png");
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ThrowingDialog, CDialog)
    ON_BN_CLICKED(IDC_THROW, OnThrow)
END_MESSAGE_MAP()

TEST(CDialog, AnExceptionFromAHandlerIsReportedAndTheDialogLivesOn) {
    ThrowingDialog dlg;
    AfxGetApp()->m_pMainWnd = &dlg;
    probe::MessageBoxInfo seen;
    bool found = false;
    bool aliveAfterBox = false;
    bool enabledAfterBox = false;
    std::thread user([&] {
        HWND hwnd = probe::WaitForTopWindow(::GetCurrentProcessId(), "#32770", "Throwing dialog", 10000);
        if (hwnd == nullptr) return;
        probe::PostClick(hwnd, IDC_THROW);
        found = probe::WaitForMessageBox(::GetCurrentProcessId(), 10000, &seen);
        if (found) probe::AnswerMessageBox(seen.hwnd);
        ::Sleep(100);
        aliveAfterBox = ::IsWindow(hwnd) != FALSE;
        enabledAfterBox = ::IsWindowEnabled(hwnd) != FALSE;
        probe::PostClick(hwnd, IDCANCEL);
    });
    INT_PTR result = dlg.DoModal();
    user.join();
    AfxGetApp()->m_pMainWnd = nullptr;

    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(1, dlg.m_throws);
    ASSERT_TRUE(found) << "no error box";
    EXPECT_EQ("Ostrel Pelmora update", seen.caption);
    EXPECT_NE(std::string::npos, seen.text.find("C:\\Pelmora\\resource\\cover\\cover.png")) << seen.text;
    EXPECT_NE(std::string::npos, seen.text.find("Disk full")) << seen.text;
    EXPECT_TRUE(seen.exclamationIcon);
    EXPECT_TRUE(seen.ownerDisabled) << "the main window is disabled while the box is open";
    EXPECT_TRUE(aliveAfterBox);
    EXPECT_TRUE(enabledAfterBox);
}

}  // namespace

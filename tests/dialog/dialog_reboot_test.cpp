// The Reboot command's decision: the shutdown privilege is enabled and only the last error
// after the adjustment decides whether a restart is asked for. No test here lets the restart
// itself run: the one click on Reboot happens in a child whose token lacks the privilege.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "afx/handles.h"
#include "app/shutdown_privilege.h"
#include "dialog_child.h"
#include "dialog_driver.h"
#include "test_env.h"
#include "window_probe.h"

namespace dialogtest {
namespace {

const char kShutdownPrivilege[] = "SeShutdownPrivilege";

// The attributes of the shutdown privilege in `token`, or -1 when the token does not hold it.
long ShutdownPrivilegeAttributes(HANDLE token) {
    LUID luid = {};
    if (!::LookupPrivilegeValueA(nullptr, kShutdownPrivilege, &luid)) return -1;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<char> buffer(size);
    if (size == 0 || !::GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) return -1;
    const TOKEN_PRIVILEGES* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID& held = privileges->Privileges[i].Luid;
        if (held.LowPart == luid.LowPart && held.HighPart == luid.HighPart) {
            return static_cast<long>(privileges->Privileges[i].Attributes);
        }
    }
    return -1;
}

afx::UniqueHandle OwnToken(DWORD access) {
    afx::UniqueHandle token;
    ::OpenProcessToken(::GetCurrentProcess(), access, token.put());
    return token;
}

// This account's token with the shutdown privilege deleted, as for an account that lacks it.
afx::UniqueHandle TokenWithoutShutdownPrivilege() {
    afx::UniqueHandle own = OwnToken(TOKEN_ALL_ACCESS);
    LUID_AND_ATTRIBUTES shutdown = {};
    afx::UniqueHandle restricted;
    if (!own || !::LookupPrivilegeValueA(nullptr, kShutdownPrivilege, &shutdown.Luid)) return restricted;
    ::CreateRestrictedToken(own.get(), 0, 0, nullptr, 1, &shutdown, 0, nullptr, restricted.put());
    return restricted;
}

struct Decision {
    bool ran = false;
    BOOL granted = FALSE;
    DWORD lastError = 0;
    std::string note;
};

Decision InThisProcess(const std::function<BOOL()>& decide) {
    Decision d;
    d.ran = true;
    d.granted = decide();
    d.lastError = ::GetLastError();
    return d;
}

Decision InChild(HANDLE token) {
    Decision d;
    DialogChild child(token, L"privilege");
    if (!child.started()) {
        d.note = "the helper did not start, error " + std::to_string(child.startError());
        return d;
    }
    DWORD code = child.WaitForExit(30000);
    if (code == STILL_ACTIVE || (code & kBadArguments) != 0) {
        d.note = "the helper did not report, exit code " + std::to_string(code);
        return d;
    }
    d.ran = true;
    d.granted = (code & kGrantedFlag) != 0;
    d.lastError = code & 0xFFFF;
    return d;
}

TEST(RebootCommand, OnlyTheLastErrorAfterTheAdjustmentDecides) {
    afx::UniqueHandle lacking = TokenWithoutShutdownPrivilege();
    ASSERT_TRUE(lacking.valid()) << "cannot make a token without the shutdown privilege, error " << ::GetLastError();
    ASSERT_EQ(-1, ShutdownPrivilegeAttributes(lacking.get())) << "the restricted token still holds the privilege";
    afx::UniqueHandle queryOnly = OwnToken(TOKEN_QUERY);
    ASSERT_TRUE(queryOnly.valid());
    // Wine gives the account that runs the tests (root) a token that holds the privilege.
    ASSERT_NE(-1, ShutdownPrivilegeAttributes(OwnToken(TOKEN_QUERY).get()))
        << "this account's token lacks the shutdown privilege; the granted rows below assume it holds it";

    struct Case {
        const char* name;
        std::function<Decision()> decide;
        BOOL granted;
        DWORD lastError;
    };
    const Case kCases[] = {
        {"this process, its token opened as the Reboot command opens it",
         [] { return InThisProcess([] { return EnableShutdownPrivilege(); }); }, TRUE, ERROR_SUCCESS},
        {"a child process with this account's token", [] { return InChild(nullptr); }, TRUE, ERROR_SUCCESS},
        {"a child process whose token lacks the privilege", [&lacking] { return InChild(lacking.get()); }, FALSE,
         ERROR_NOT_ALL_ASSIGNED},
        {"a token that lacks the privilege",
         [&lacking] { return InThisProcess([&lacking] { return EnableShutdownPrivilege(lacking.get()); }); }, FALSE,
         ERROR_NOT_ALL_ASSIGNED},
        {"a token opened without the right to adjust it",
         [&queryOnly] { return InThisProcess([&queryOnly] { return EnableShutdownPrivilege(queryOnly.get()); }); },
         FALSE, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : kCases) {
        ::SetLastError(0xDEAD);
        Decision d = c.decide();
        ASSERT_TRUE(d.ran) << c.name << ": " << d.note;
        EXPECT_EQ(c.granted, d.granted) << c.name << " (last error " << d.lastError << ")";
        EXPECT_EQ(c.lastError, d.lastError) << c.name;
    }
}

TEST(RebootCommand, AGrantedDecisionLeavesThePrivilegeEnabled) {
    ASSERT_TRUE(EnableShutdownPrivilege());
    long attributes = ShutdownPrivilegeAttributes(OwnToken(TOKEN_QUERY).get());
    EXPECT_NE(-1, attributes);
    EXPECT_TRUE(attributes & SE_PRIVILEGE_ENABLED) << "attributes 0x" << std::hex << attributes;
}

TEST(RebootCommand, WithoutThePrivilegeRebootDoesNothingAndShowsNothing) {
    afx::UniqueHandle lacking = TokenWithoutShutdownPrivilege();
    ASSERT_TRUE(lacking.valid());
    DialogChild child(lacking.get(), L"dialog");
    ASSERT_TRUE(child.started()) << "error " << child.startError();
    HWND dlg = probe::WaitForTopWindow(child.pid(), kDialogClass, kDialogTitle, 10000);
    ASSERT_NE(nullptr, dlg) << "the child's dialog did not appear";
    Settle(dlg);
    DialogState before = ReadState(dlg);

    // Sent, not posted: it returns once the handler has run. The button is hidden, so no
    // person can press it; the message is what a press would send.
    DWORD_PTR answer = 0;
    LRESULT delivered =
        ::SendMessageTimeoutA(dlg, WM_COMMAND, MAKEWPARAM(IDC_REBOOT, BN_CLICKED),
                              reinterpret_cast<LPARAM>(::GetDlgItem(dlg, IDC_REBOOT)), SMTO_NORMAL, 10000, &answer);
    EXPECT_NE(0, delivered) << "the Reboot handler did not return";
    probe::MessageBoxInfo box;
    EXPECT_FALSE(probe::WaitForMessageBox(child.pid(), 1000, &box)) << "a box appeared: " << box.text;
    ASSERT_TRUE(::IsWindow(dlg)) << "the dialog went away";
    DialogState after = ReadState(dlg);
    EXPECT_TRUE(before == after) << "before: " << before.Describe() << "\nafter:  " << after.Describe();

    ClickCloseBox(dlg);
    EXPECT_EQ(0u, child.WaitForExit(10000)) << "the child did not end normally after the close box";
}

}  // namespace
}  // namespace dialogtest

// Pictures of the dialog in each state and of the About box, taken from the test display and
// saved as PNG under the build folder (screenshots/<prefix>/<state>.png), so that a person can
// look at the dialog without running it.
//
// The test display has no window manager, so nobody would draw the captions. The dialog runs
// in the helper program, for which Wine is told to draw them itself; the pictures then show
// the title, the icon and the close box as a person sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "afx/handles.h"
#include "dialog_child.h"
#include "dialog_driver.h"
#include "test_env.h"
#include "window_probe.h"

#ifndef HALVERN_SCREENSHOT_DIR
#error "HALVERN_SCREENSHOT_DIR: the Unix folder for the pictures"
#endif

namespace dialogtest {
namespace {

constexpr int kMargin = 16;  // pixels kept around the windows
const wchar_t kChildSettings[] = L"Software\\Wine\\AppDefaults\\dialog_child.exe";

// Has Wine draw the captions of the helper program's windows for the scope's life.
class WineDrawsCaptions {
public:
    WineDrawsCaptions() {
        afx::RegKey existing;
        m_created = ::RegOpenKeyExW(HKEY_CURRENT_USER, kChildSettings, 0, KEY_READ, existing.put()) != ERROR_SUCCESS;
        afx::RegKey key;
        std::wstring path = std::wstring(kChildSettings) + L"\\X11 Driver";
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                              nullptr) != ERROR_SUCCESS) {
            return;
        }
        const wchar_t no[] = L"N";
        m_ok = ::RegSetValueExW(key.get(), L"Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(no), sizeof no) ==
               ERROR_SUCCESS;
    }
    ~WineDrawsCaptions() {
        if (m_created) ::RegDeleteTreeW(HKEY_CURRENT_USER, kChildSettings);
    }
    WineDrawsCaptions(const WineDrawsCaptions&) = delete;
    WineDrawsCaptions& operator=(const WineDrawsCaptions&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_created = false;
    bool m_ok = false;
};

// Runs `script` with /bin/sh and waits up to 30 s for it. Wine starts a Unix program without
// a process handle to wait on, so the script leaves its exit status in a file, renamed into
// place once written, that this polls for. Returns the exit status, or -1.
int RunShell(const std::string& script, const std::string& statusFile) {
    std::wstring status = L"Z:" + testenv::Widen(statusFile);
    ::DeleteFileW(status.c_str());
    std::string wrapped = "( " + script + " ); echo $? > '" + statusFile + ".tmp' && mv '" + statusFile + ".tmp' '" +
                          statusFile + "'";
    testenv::ChildProcess shell;
    if (!shell.Start(L"Z:\\bin\\sh -c \"" + testenv::Widen(wrapped) + L"\"")) return -1;
    for (DWORD waited = 0; waited < 30000; waited += 50) {
        std::string text;
        if (testenv::ReadFileBytes(status, &text) && !text.empty()) {
            ::DeleteFileW(status.c_str());
            return std::atoi(text.c_str());
        }
        ::Sleep(50);
    }
    return -1;
}

// Makes sure what the dialog's thread painted has reached the display before the picture.
void Repaint(std::initializer_list<HWND> windows) {
    for (HWND w : windows) {
        ::RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Settle(w);
    }
    // Wine hands a window's painting to the X server a moment after the painting itself.
    ::Sleep(300);
}

// Saves the screen area that holds `windows` as <folder>/<name>.png. Returns the Unix path,
// or an empty string (with `error`) when the picture could not be taken.
std::string SaveScreenshot(const std::string& name, std::initializer_list<HWND> windows, std::string* error) {
    RECT area = {};
    bool first = true;
    for (HWND w : windows) {
        RECT r = {};
        ::GetWindowRect(w, &r);
        if (first) {
            area = r;
            first = false;
        } else {
            ::UnionRect(&area, &area, &r);
        }
    }
    LONG left = std::max<LONG>(0, area.left - kMargin);
    LONG top = std::max<LONG>(0, area.top - kMargin);
    LONG right = std::min<LONG>(::GetSystemMetrics(SM_CXSCREEN), area.right + kMargin);
    LONG bottom = std::min<LONG>(::GetSystemMetrics(SM_CYSCREEN), area.bottom + kMargin);

    std::string folder = std::string(HALVERN_SCREENSHOT_DIR) + "/" + testenv::PrefixName();
    std::string file = folder + "/" + name + ".png";
    std::string crop = std::to_string(right - left) + "x" + std::to_string(bottom - top) + "+" +
                       std::to_string(left) + "+" + std::to_string(top);
    // $DISPLAY is the test run's X display, on which Wine draws.
    std::string script = "mkdir -p '" + folder + "' && rm -f '" + file + "' && xwd -root -silent -display $DISPLAY" +
                         " | convert xwd:- -crop " + crop + " +repage png:'" + file + "'";
    int code = RunShell(script, folder + "/." + name + ".status");
    if (code != 0) {
        *error = "the screen grab ended with " + std::to_string(code) + ": " + script;
        return {};
    }
    return file;
}

// True when the file at Unix path `file` is a PNG picture.
bool IsPng(const std::string& file, std::string* error) {
    std::string bytes;
    if (!testenv::ReadFileBytes(L"Z:" + testenv::Widen(file), &bytes)) {
        *error = "cannot read " + file;
        return false;
    }
    if (bytes.size() < 100 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) {
        *error = file + " is not a PNG picture (" + std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    return true;
}

TEST(ConfirmationDialogPictures, EachStateAndTheAboutBox) {
    WineDrawsCaptions captions;
    ASSERT_TRUE(captions.ok());
    struct Shot {
        const char* name;
        std::vector<Operation> operations;
        bool about;
    };
    const Shot kShots[] = {
        {"ready", {}, false},
        {"updating", {Operation::Updating}, false},
        {"finished", {Operation::Updating, Operation::Finished}, false},
        {"unsupported", {Operation::Unsupported}, false},
        {"about", {}, true},
    };
    for (const Shot& s : kShots) {
        DialogChild child(nullptr, L"dialog");
        ASSERT_TRUE(child.started()) << s.name << ": error " << child.startError();
        HWND dlg = probe::WaitForTopWindow(child.pid(), kDialogClass, kDialogTitle, 10000);
        ASSERT_NE(nullptr, dlg) << s.name << ": no dialog";
        ASSERT_TRUE(probe::WaitForWindowVisible(dlg, 10000)) << s.name;
        for (Operation op : s.operations) ASSERT_TRUE(RunOperation(dlg, op)) << s.name << ": " << OperationName(op);

        std::string file, error;
        if (s.about) {
            ::PostMessageA(dlg, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            HWND about = probe::WaitForTopWindow(child.pid(), kDialogClass, kAboutTitle, 5000);
            ASSERT_NE(nullptr, about) << s.name << ": no About box";
            Repaint({dlg, about});
            file = SaveScreenshot(s.name, {dlg, about}, &error);
            probe::PostClick(about, IDOK);
            EXPECT_TRUE(probe::WaitForWindowGone(about, 5000)) << s.name;
        } else {
            Repaint({dlg});
            file = SaveScreenshot(s.name, {dlg}, &error);
        }
        ClickCloseBox(dlg);
        EXPECT_EQ(0u, child.WaitForExit(10000)) << s.name << ": the dialog did not close";
        ASSERT_FALSE(file.empty()) << s.name << ": " << error;
        EXPECT_TRUE(IsPng(file, &error)) << s.name << ": " << error;
        std::printf("picture of %s: %s\n", s.name, file.c_str());
    }
}

}  // namespace
}  // namespace dialogtest

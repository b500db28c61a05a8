// The confirmation dialog as a person meets it: the Ready state, the states the update leaves
// it in, every way to close it, and the About box from the system menu.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "dialog_driver.h"
#include "window_probe.h"

namespace dialogtest {
namespace {

const char kReadyText[] =
    "This application installs Pelmora update on your computer. Close Pelmora before continuing. Do you want "
    "to continue?";
const char kFinishedText[] =
    "Pelmora update installation is finished. The settings are applied at the next Pelmora launch. Click DONE "
    "to exit the process.";
const char kUnsupportedText[] = "Your system cannot support Pelmora update. Click Cancel to exit the installation.";
const char kAboutItem[] = "&About Ostrel Brenfield...";

constexpr bool kShown = true, kHidden = false, kEnabled = true, kDisabled = false;

bool CenteredOn(const RECT& box, const RECT& area) {
    int dx = (box.left + box.right) - (area.left + area.right);
    int dy = (box.top + box.bottom) - (area.top + area.bottom);
    // Halving an odd difference may be off by one pixel either way.
    return dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2;
}

std::string RectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

RECT ControlRectInClient(HWND dlg, int id) {
    RECT r = {};
    HWND control = ::GetDlgItem(dlg, id);
    if (control == nullptr) return r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

struct MenuItem {
    UINT type = 0;
    UINT id = 0;
    std::string text;
};

MenuItem ReadMenuItem(HMENU menu, int position) {
    char text[256] = "";
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    MenuItem item;
    if (!::GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info)) return item;
    item.type = info.fType;
    item.id = info.wID;
    item.text = text;
    return item;
}

// What the first look at the dialog finds, read on the driver thread.
struct FirstLook {
    bool found = false;
    std::string title;
    LONG style = 0;
    LONG exStyle = 0;
    HWND owner = nullptr;
    bool centered = false;
    std::string windowRect, workArea;
    std::vector<int> childIds;
    std::vector<std::string> layout;  // "id: x,y wxh" of each control against the template's
    std::vector<std::string> expectedLayout;
    int menuCount = 0;
    MenuItem separator, about;
    HICON bigIcon = nullptr, smallIcon = nullptr, dragIcon = nullptr;
};

TEST(ConfirmationDialog, OpensAsItsTemplateGivesIt) {
    FirstLook look;
    DrivenDialog dlg;
    INT_PTR result = RunModal(dlg, [&look](HWND wnd) {
        if (wnd == nullptr) return;
        look.found = true;
        look.title = probe::WindowText(wnd);
        look.style = ::GetWindowLongA(wnd, GWL_STYLE);
        look.exStyle = ::GetWindowLongA(wnd, GWL_EXSTYLE);
        look.owner = ::GetWindow(wnd, GW_OWNER);

        RECT box = {};
        ::GetWindowRect(wnd, &box);
        MONITORINFO mi = {};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoA(::MonitorFromWindow(wnd, MONITOR_DEFAULTTOPRIMARY), &mi);
        look.centered = CenteredOn(box, mi.rcWork);
        look.windowRect = RectText(box);
        look.workArea = RectText(mi.rcWork);

        for (HWND c = ::GetWindow(wnd, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
            look.childIds.push_back(::GetDlgCtrlID(c));
        }
        struct Placed {
            int id;
            RECT units;  // x, y, width, height in dialog units
        };
        const Placed kPlaced[] = {
            {IDC_YES, {23, 51, 41, 17}},     {IDC_MESSAGE_TEXT, {7, 14, 140, 35}}, {IDC_CANCEL_BTN, {83, 51, 42, 17}},
            {IDC_EXIT, {83, 51, 42, 17}},    {IDC_REBOOT, {22, 51, 42, 17}},
        };
        for (const Placed& p : kPlaced) {
            // The dialog manager converts position and size each on its own, as here.
            RECT mapped = p.units;
            ::MapDialogRect(wnd, &mapped);
            RECT expected = {mapped.left, mapped.top, mapped.left + mapped.right, mapped.top + mapped.bottom};
            look.expectedLayout.push_back(std::to_string(p.id) + ": " + RectText(expected));
            look.layout.push_back(std::to_string(p.id) + ": " + RectText(ControlRectInClient(wnd, p.id)));
        }

        HMENU menu = ::GetSystemMenu(wnd, FALSE);
        look.menuCount = menu != nullptr ? ::GetMenuItemCount(menu) : 0;
        if (look.menuCount >= 2) {
            look.separator = ReadMenuItem(menu, look.menuCount - 2);
            look.about = ReadMenuItem(menu, look.menuCount - 1);
        }

        look.bigIcon = reinterpret_cast<HICON>(::SendMessageA(wnd, WM_GETICON, ICON_BIG, 0));
        look.smallIcon = reinterpret_cast<HICON>(::SendMessageA(wnd, WM_GETICON, ICON_SMALL, 0));
        look.dragIcon = reinterpret_cast<HICON>(::SendMessageA(wnd, WM_QUERYDRAGICON, 0, 0));
        probe::PostClick(wnd, IDC_CANCEL_BTN);
    });

    ASSERT_TRUE(look.found) << "the dialog never appeared; DoModal returned " << result;
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(kDialogTitle, look.title);
    const LONG kStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(kStyle, look.style & kStyle) << std::hex << "style 0x" << look.style;
    EXPECT_EQ(0, look.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME))
        << std::hex << "style 0x" << look.style;
    EXPECT_TRUE(look.exStyle & WS_EX_APPWINDOW) << std::hex << "ex style 0x" << look.exStyle;
    EXPECT_EQ(nullptr, look.owner) << "the dialog is the program's only, unowned window";
    EXPECT_TRUE(look.centered) << "window " << look.windowRect << ", work area " << look.workArea;
    EXPECT_EQ((std::vector<int>{IDC_YES, IDC_MESSAGE_TEXT, IDC_CANCEL_BTN, IDC_EXIT, IDC_REBOOT}), look.childIds)
        << "controls in template (tab) order";
    EXPECT_EQ(look.expectedLayout, look.layout) << "control positions in pixels of this dialog's font";

    ASSERT_GE(look.menuCount, 2);
    EXPECT_TRUE(look.separator.type & MFT_SEPARATOR) << "item before the last: type 0x" << std::hex
                                                     << look.separator.type << " \"" << look.separator.text << "\"";
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), look.about.id);
    EXPECT_EQ(kAboutItem, look.about.text);

    EXPECT_NE(nullptr, look.bigIcon);
    EXPECT_EQ(look.bigIcon, look.smallIcon) << "the same icon, big and small";
    EXPECT_EQ(look.bigIcon, look.dragIcon) << "the icon shown while the minimized window is dragged";
}

// One row per state the update can leave the dialog in, reached as the update reaches it.
struct StateCase {
    const char* name;
    std::vector<Operation> operations;
    DialogState expected;
};

ControlState Ctl(const char* text, bool visible, bool enabled) {
    return {text, visible, enabled};
}

DialogState State(const char* message, ControlState yes, ControlState cancel, ControlState exit, int focus) {
    DialogState s;
    s.message = Ctl(message, kShown, kEnabled);
    s.yes = yes;
    s.cancel = cancel;
    s.exit = exit;
    s.reboot = Ctl("Reboot", kHidden, kEnabled);  // no state ever shows it
    s.focus = focus;
    return s;
}

TEST(ConfirmationDialog, EachStateShowsExactlyItsControls) {
    const StateCase kCases[] = {
        {"Ready",
         {},
         State(kReadyText, Ctl("YES", kShown, kEnabled), Ctl("Cancel", kShown, kEnabled),
               Ctl("Exit", kHidden, kEnabled), IDC_YES)},
        {"Updating",
         {Operation::Updating},
         State("Updating...", Ctl("YES", kShown, kDisabled), Ctl("Cancel", kShown, kDisabled),
               Ctl("Exit", kHidden, kEnabled), 0)},
        {"Finished after Updating",
         {Operation::Updating, Operation::Finished},
         State(kFinishedText, Ctl("YES", kHidden, kDisabled), Ctl("Cancel", kHidden, kDisabled),
               Ctl("DONE", kShown, kEnabled), 0)},
        // Already current: YES and Cancel are hidden but were never disabled.
        {"Finished straight from Ready",
         {Operation::Finished},
         State(kFinishedText, Ctl("YES", kHidden, kEnabled), Ctl("Cancel", kHidden, kEnabled),
               Ctl("DONE", kShown, kEnabled), 0)},
        {"Unsupported",
         {Operation::Unsupported},
         State(kUnsupportedText, Ctl("YES", kHidden, kEnabled), Ctl("Cancel", kHidden, kEnabled),
               Ctl("Cancel", kShown, kEnabled), IDC_EXIT)},
    };
    for (const StateCase& c : kCases) {
        bool ran = true;
        DialogState actual;
        DrivenDialog dlg;
        INT_PTR result = RunModal(dlg, [&](HWND wnd) {
            if (wnd == nullptr) return;
            for (Operation op : c.operations) ran = ran && RunOperation(wnd, op);
            Settle(wnd);
            actual = ReadState(wnd);
            ClickCloseBox(wnd);
        });
        EXPECT_TRUE(ran) << c.name << ": a state operation did not return";
        EXPECT_EQ(IDCANCEL, result) << c.name;
        DialogState expected = c.expected;
        // The focus is part of the state only where the state names it; elsewhere it must at
        // least not sit on a control that a person can neither see nor use.
        if (expected.focus == 0) expected.focus = actual.focus;
        EXPECT_TRUE(expected == actual) << c.name << "\n  expected: " << expected.Describe()
                                        << "\n  actual:   " << actual.Describe();
        const std::pair<int, const ControlState*> kButtons[] = {
            {IDC_YES, &actual.yes}, {IDC_CANCEL_BTN, &actual.cancel}, {IDC_EXIT, &actual.exit}};
        for (const auto& b : kButtons) {
            if (actual.focus != b.first) continue;
            EXPECT_TRUE(b.second->visible && b.second->enabled)
                << c.name << ": the focus is on control " << b.first << ", which is hidden or disabled";
        }
    }
}

enum class WayOut { CancelButton, ExitButton, CloseBox, EscapeKey };

const char* WayOutName(WayOut w) {
    switch (w) {
    case WayOut::CancelButton: return "Cancel button";
    case WayOut::ExitButton: return "IDC_EXIT button";
    case WayOut::CloseBox: return "close box";
    case WayOut::EscapeKey: return "Esc key";
    }
    return "?";
}

TEST(ConfirmationDialog, EveryWayOutEndsItWithCancel) {
    struct EndCase {
        const char* state;
        std::vector<Operation> operations;
        WayOut way;
        const char* buttonText;  // the caption of the button pressed, as the user reads it
    };
    const EndCase kCases[] = {
        {"Ready", {}, WayOut::CancelButton, "Cancel"},
        {"Ready", {}, WayOut::CloseBox, nullptr},
        {"Ready", {}, WayOut::EscapeKey, nullptr},
        {"Updating (a row failed)", {Operation::Updating}, WayOut::CloseBox, nullptr},
        {"Finished", {Operation::Updating, Operation::Finished}, WayOut::ExitButton, "DONE"},
        {"Finished", {Operation::Updating, Operation::Finished}, WayOut::CloseBox, nullptr},
        {"Unsupported", {Operation::Unsupported}, WayOut::ExitButton, "Cancel"},
        {"Unsupported", {Operation::Unsupported}, WayOut::CloseBox, nullptr},
    };
    for (const EndCase& c : kCases) {
        std::string pressed;
        bool gone = false;
        DrivenDialog dlg;
        INT_PTR result = RunModal(dlg, [&](HWND wnd) {
            if (wnd == nullptr) return;
            for (Operation op : c.operations) RunOperation(wnd, op);
            Settle(wnd);
            switch (c.way) {
            case WayOut::CancelButton:
                pressed = probe::ControlText(wnd, IDC_CANCEL_BTN);
                probe::PostClick(wnd, IDC_CANCEL_BTN);
                break;
            case WayOut::ExitButton:
                pressed = probe::ControlText(wnd, IDC_EXIT);
                probe::PostClick(wnd, IDC_EXIT);
                break;
            case WayOut::CloseBox: ClickCloseBox(wnd); break;
            case WayOut::EscapeKey: PressEscape(wnd); break;
            }
            gone = probe::WaitForWindowGone(wnd, 5000);
        });
        std::string name = std::string(c.state) + " / " + WayOutName(c.way);
        EXPECT_TRUE(gone) << name << ": the dialog stayed open";
        EXPECT_EQ(IDCANCEL, result) << name;
        if (c.buttonText != nullptr) {
            EXPECT_EQ(c.buttonText, pressed) << name;
        }
    }
}

enum class AboutClose { OkButton, CloseBox, EscapeKey };

TEST(ConfirmationDialog, AboutBoxOpensFromTheSystemMenuAndLeavesTheStateAlone) {
    struct AboutCase {
        const char* name;
        std::vector<Operation> operations;
        UINT command;
        AboutClose close;
    };
    const AboutCase kCases[] = {
        {"Ready, command 0x0010, OK", {}, 0x0010, AboutClose::OkButton},
        {"Ready, command 0x0013, Esc", {}, 0x0013, AboutClose::EscapeKey},
        {"Finished, command 0x001F, close box", {Operation::Updating, Operation::Finished}, 0x001F,
         AboutClose::CloseBox},
        {"Unsupported, command 0x0010, OK", {Operation::Unsupported}, 0x0010, AboutClose::OkButton},
    };
    for (const AboutCase& c : kCases) {
        struct Seen {
            HWND dlg = nullptr, about = nullptr, owner = nullptr;
            bool dialogDisabledMeanwhile = false;
            bool centeredOverDialog = false;
            std::string texts;
            HICON icon = nullptr;
            bool aboutGone = false;
            DialogState before, after;
        } seen;
        DrivenDialog dlg;
        INT_PTR result = RunModal(dlg, [&](HWND wnd) {
            if (wnd == nullptr) return;
            seen.dlg = wnd;
            for (Operation op : c.operations) RunOperation(wnd, op);
            Settle(wnd);
            seen.before = ReadState(wnd);
            // Posted: the About box runs its own modal loop inside the handler.
            ::PostMessageA(wnd, WM_SYSCOMMAND, c.command, 0);
            seen.about = WaitForDialog(kAboutTitle, 5000);
            if (seen.about == nullptr) return;
            Settle(seen.about);
            seen.owner = ::GetWindow(seen.about, GW_OWNER);
            seen.dialogDisabledMeanwhile = !::IsWindowEnabled(wnd);
            RECT box = {}, over = {};
            ::GetWindowRect(seen.about, &box);
            ::GetWindowRect(wnd, &over);
            seen.centeredOverDialog = CenteredOn(box, over);
            seen.texts = ChildTexts(seen.about);
            HWND iconControl = ::GetWindow(seen.about, GW_CHILD);
            seen.icon = reinterpret_cast<HICON>(::SendMessageA(iconControl, STM_GETICON, 0, 0));
            switch (c.close) {
            case AboutClose::OkButton: probe::PostClick(seen.about, IDOK); break;
            case AboutClose::CloseBox: ClickCloseBox(seen.about); break;
            case AboutClose::EscapeKey: PressEscape(seen.about); break;
            }
            seen.aboutGone = probe::WaitForWindowGone(seen.about, 5000);
            Settle(wnd);
            seen.after = ReadState(wnd);
            ClickCloseBox(wnd);
        });
        ASSERT_NE(nullptr, seen.about) << c.name << ": no About box";
        EXPECT_EQ(seen.dlg, seen.owner) << c.name << ": the About box is owned by the dialog";
        EXPECT_TRUE(seen.dialogDisabledMeanwhile) << c.name << ": the dialog took input behind the About box";
        EXPECT_TRUE(seen.centeredOverDialog) << c.name;
        EXPECT_NE(std::string::npos, seen.texts.find("Ostrel Brenfield Version 1.0")) << c.name << ": " << seen.texts;
        EXPECT_NE(std::string::npos, seen.texts.find("Copyright")) << c.name << ": " << seen.texts;
        EXPECT_NE(std::string::npos, seen.texts.find("OK")) << c.name << ": " << seen.texts;
        EXPECT_NE(nullptr, seen.icon) << c.name << ": the About box shows no icon";
        EXPECT_TRUE(seen.aboutGone) << c.name << ": the About box did not close";
        // Where the state has the focus on a control, it is back there; where it has none, the
        // dialog manager may give it to the first tab stop when the dialog is active again.
        if (seen.before.focus == 0) seen.after.focus = 0;
        EXPECT_TRUE(seen.before == seen.after) << c.name << "\n  before: " << seen.before.Describe()
                                               << "\n  after:  " << seen.after.Describe();
        EXPECT_EQ(IDCANCEL, result) << c.name;
    }
}

}  // namespace
}  // namespace dialogtest

// Stopping the running product before its files are replaced. The steps themselves are members
// of CHalvernDlg (app/halvern_dlg.h: CloseRunningSuite, KillProcessByName, CallSupportClose);
// this header holds what they agree on with the product and the support library, and how long
// they give each.
#pragma once

#include <windows.h>

namespace suite {

// The product's main window, found by class and title, and the private message that asks it
// to close.
constexpr wchar_t kProductWindowClass[] = L"TMainForm";
constexpr wchar_t kProductWindowTitle[] = L"Pelmora";
constexpr UINT WM_PRODUCT_CLOSE = WM_USER + 0x80;
// The product's process, found by its image name.
constexpr wchar_t kProductImageName[] = L"Pelmora.exe";
// How long the stop gives the product. The update uses these values; the tests pass small
// ones, so that a case that waits a budget out takes a fraction of a second, not seconds.
struct StopBudgets {
    // The product's whole close, from the request until its process has ended by itself.
    DWORD closeMs = 6000;
    // A terminated process lets go of its executable only once it has ended.
    DWORD terminatedEndMs = 5000;
};
// The support library's export that closes the rest of the suite.
constexpr char kCloseExport[] = "CloseVantryExe";

}  // namespace suite

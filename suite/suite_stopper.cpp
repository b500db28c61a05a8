// Stopping the running product before its files are replaced: the window is asked to close,
// the process is given the rest of the close budget to end by itself and terminated only if it
// does not, and the support library closes the sibling program.
#include "suite/suite_stopper.h"

#include "afx/afxwin.h"
#include "app/halvern_dlg.h"
#include "suite/process_lookup.h"
#include "suite/support_library.h"
#include "update/catalogue.h"

namespace {

constexpr DWORD kWindowPollMs = 50;
constexpr DWORD kProcessAccess = SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE;

HWND FindProductWindow() { return ::FindWindowW(suite::kProductWindowClass, suite::kProductWindowTitle); }

// Looks for the product window every kWindowPollMs until it is gone or `budgetMs` are spent;
// returns what is left of the budget.
DWORD WaitForProductWindowGone(DWORD budgetMs) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        const DWORD left = elapsed >= budgetMs ? 0 : budgetMs - static_cast<DWORD>(elapsed);
        if (FindProductWindow() == nullptr || left == 0) return left;
        ::Sleep(left < kWindowPollMs ? left : kWindowPollMs);
    }
}

}  // namespace

void CHalvernDlg::CloseRunningSuite() {
    DWORD dwGraceMs = 0;
    HWND hProductWnd = FindProductWindow();
    if (hProductWnd != nullptr) {
        ::PostMessageW(hProductWnd, suite::WM_PRODUCT_CLOSE, 0, 0);
        // With its window gone the product may still be saving its settings: what is left of
        // the budget is its to end by itself.
        dwGraceMs = WaitForProductWindowGone(suite::kCloseBudgetMs);
    }
    KillProcessByName(suite::kProductImageName, dwGraceMs);
    CallSupportClose();
}

int CHalvernDlg::KillProcessByName(const wchar_t* lpszName, DWORD dwGraceMs) {
    afx::UniqueHandle hProcess = suite::OpenFirstProcessNamed(lpszName, kProcessAccess);
    if (!hProcess) return 0;
    if (::WaitForSingleObject(hProcess.get(), dwGraceMs) == WAIT_OBJECT_0) return 0;

    // For a live process the exit code is STILL_ACTIVE, which is what it ends with.
    DWORD dwExitCode = 0;
    ::GetExitCodeProcess(hProcess.get(), &dwExitCode);
    if (!::TerminateProcess(hProcess.get(), dwExitCode)) return 0;
    // Termination only starts the end; the product's files are written right after this.
    ::WaitForSingleObject(hProcess.get(), suite::kTerminatedEndMs);
    return 1;
}

BOOL CHalvernDlg::CallSupportClose() {
    const std::wstring path = suite::TempSupportLibraryPath();
    if (path.empty()) return 0;

    // Held from the check until after the library is unloaded, so the file that is loaded is
    // the one that was checked.
    afx::UniqueHandle pinned = suite::OpenIfSameAsResource(path.c_str(), AfxGetInstanceHandle(),
                                                           PayloadCatalogue::kSupportLibraryResourceType,
                                                           PayloadCatalogue::kSupportLibraryResourceId);
    if (!pinned) return 0;

    // A full path loads that file and nothing found by searching; unlike the altered search
    // order, its own imports are not looked for in the (writable) temporary directory.
    afx::Library library(::LoadLibraryW(path.c_str()));
    if (!library) return 0;

    typedef void (*PFN_CLOSEVANTRYEXE)();
    auto pfnClose = reinterpret_cast<PFN_CLOSEVANTRYEXE>(::GetProcAddress(library.get(), suite::kCloseExport));
    if (pfnClose != nullptr) pfnClose();
    return ::FreeLibrary(library.release());
}

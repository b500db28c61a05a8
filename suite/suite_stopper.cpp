// Stopping the running product before its files are replaced: the window is asked to close,
// the process is given the rest of the close budget to end by itself and terminated only if it
// does not, and the support library closes the sibling program.
#include "suite/suite_stopper.h"

#include "afx/afxwin.h"
#include "app/halvern_dlg.h"
#include "suite/process_lookup.h"
#include "suite/support_library.h"
#include "suite/temp_folder.h"
#include "update/catalogue.h"
#include "update/run_log.h"

namespace {

constexpr DWORD kWindowPollMs = 50;
constexpr DWORD kProcessAccess = SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE;

// When the product's window was asked to close, for the run log's "after N ms"; 0 when it was
// not (no window, or outside CloseRunningSuite).
ULONGLONG g_closeRequestTick = 0;

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

void CHalvernDlg::CloseRunningSuite(const suite::StopBudgets& budgets) {
    DWORD dwGraceMs = 0;
    HWND hProductWnd = FindProductWindow();
    if (hProductWnd != nullptr) {
        g_closeRequestTick = ::GetTickCount64();
        ::PostMessageW(hProductWnd, suite::WM_PRODUCT_CLOSE, 0, 0);
        // With its window gone the product may still be saving its settings: what is left of
        // the budget is its to end by itself.
        dwGraceMs = WaitForProductWindowGone(budgets.closeMs);
        if (runlog::On()) {
            runlog::Write(FindProductWindow() == nullptr
                              ? "product: window found, asked to close; gone after %llu ms"
                              : "product: window found, asked to close; still there after %llu ms",
                          ::GetTickCount64() - g_closeRequestTick);
        }
    } else {
        runlog::Write("product: no window found");
    }
    KillProcessByName(suite::kProductImageName, dwGraceMs, budgets);
    g_closeRequestTick = 0;
    CallSupportClose();
}

int CHalvernDlg::KillProcessByName(const wchar_t* lpszName, DWORD dwGraceMs, const suite::StopBudgets& budgets) {
    const ULONGLONG since = g_closeRequestTick != 0 ? g_closeRequestTick : ::GetTickCount64();
    const std::string name = runlog::On() ? runlog::Utf8(lpszName) : std::string();
    afx::UniqueHandle hProcess = suite::OpenFirstProcessNamed(lpszName, kProcessAccess);
    if (!hProcess) {
        if (g_closeRequestTick != 0) {
            runlog::Write("product: %s closed by itself within %llu ms (no process left)", name.c_str(),
                          ::GetTickCount64() - since);
        } else {
            runlog::Write("product: no process %s running", name.c_str());
        }
        return 0;
    }
    if (::WaitForSingleObject(hProcess.get(), dwGraceMs) == WAIT_OBJECT_0) {
        runlog::Write("product: %s closed by itself after %llu ms", name.c_str(), ::GetTickCount64() - since);
        return 0;
    }

    // For a live process the exit code is STILL_ACTIVE, which is what it ends with.
    DWORD dwExitCode = 0;
    ::GetExitCodeProcess(hProcess.get(), &dwExitCode);
    if (!::TerminateProcess(hProcess.get(), dwExitCode)) {
        if (runlog::On()) {
            runlog::Write("product: %s still running after %llu ms and could not be terminated (%s)", name.c_str(),
                          ::GetTickCount64() - since, runlog::ErrorText(::GetLastError()).c_str());
        }
        return 0;
    }
    // Termination only starts the end; the product's files are written right after this.
    const bool ended = ::WaitForSingleObject(hProcess.get(), budgets.terminatedEndMs) == WAIT_OBJECT_0;
    runlog::Write(ended ? "product: %s still running after %llu ms: terminated, and ended"
                        : "product: %s still running after %llu ms: terminated, but not ended within %lu ms",
                  name.c_str(), ::GetTickCount64() - since, budgets.terminatedEndMs);
    return 1;
}

BOOL CHalvernDlg::CallSupportClose() {
    const std::wstring path = suite::TempSupportLibraryPath();
    if (path.empty()) {
        runlog::Write("support library: the run has no temporary folder of its own; its close was not called");
        return 0;
    }

    // Held from the check until after the library is unloaded, so the file that is loaded is
    // the one that was checked.
    afx::UniqueHandle pinned = suite::OpenIfSameAsResource(path.c_str(), AfxGetInstanceHandle(),
                                                           PayloadCatalogue::kSupportLibraryResourceType,
                                                           PayloadCatalogue::kSupportLibraryResourceId);
    if (!pinned) {
        runlog::Write("support library: its temporary copy is missing or not the one embedded; "
                      "its close was not called");
        return 0;
    }

    // A full path loads that file and nothing found by searching; unlike the altered search
    // order, its own imports are not looked for in the (writable) temporary directory.
    afx::Library library(::LoadLibraryW(path.c_str()));
    if (!library) {
        if (runlog::On()) {
            runlog::Write("support library: its temporary copy could not be loaded (%s); its close was not called",
                          runlog::ErrorText(::GetLastError()).c_str());
        }
        return 0;
    }

    typedef void (*PFN_CLOSEVANTRYEXE)();
    auto pfnClose = reinterpret_cast<PFN_CLOSEVANTRYEXE>(::GetProcAddress(library.get(), suite::kCloseExport));
    if (pfnClose != nullptr) pfnClose();
    runlog::Write(pfnClose != nullptr ? "support library: %s called" : "support library: it has no %s to call",
                  suite::kCloseExport);
    return ::FreeLibrary(library.release());
}

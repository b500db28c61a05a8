// Stopping the running product before its files are replaced: the window is asked to close,
// the process is terminated by name, and the support library closes the sibling program.
#include <windows.h>
#include <psapi.h>

#include "afx/afxwin.h"
#include "app/halvern_dlg.h"
#include "suite/support_library.h"

namespace {

constexpr wchar_t kProductWindowClass[] = L"TMainForm";
constexpr wchar_t kProductWindowTitle[] = L"Pelmora";
constexpr wchar_t kProductImageName[] = L"Pelmora.exe";
constexpr UINT WM_PRODUCT_CLOSE = WM_USER + 0x80;
constexpr int kClosePauses = 3;
constexpr DWORD kClosePauseMs = 2000;
constexpr DWORD kProcessAccess = SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE;
constexpr DWORD kMaxProcesses = 512;
constexpr char kCloseExport[] = "CloseVantryExe";

HWND FindProductWindow() { return ::FindWindowW(kProductWindowClass, kProductWindowTitle); }

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Whole-string comparison that folds ASCII letters only, as image names are matched.
bool EqualsIgnoringAsciiCase(const wchar_t* a, const wchar_t* b) {
    for (; *a != L'\0' && *b != L'\0'; ++a, ++b) {
        if (AsciiLower(*a) != AsciiLower(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

void CHalvernDlg::CloseRunningSuite() {
    HWND hProductWnd = FindProductWindow();
    if (hProductWnd != nullptr) {
        ::PostMessageW(hProductWnd, WM_PRODUCT_CLOSE, 0, 0);
        for (int pause = 0; pause < kClosePauses; ++pause) {
            ::Sleep(kClosePauseMs);
            if (FindProductWindow() == nullptr) break;
        }
    }
    KillProcessByName(kProductImageName);
    CallSupportClose();
}

int CHalvernDlg::KillProcessByName(const wchar_t* lpszName) {
    DWORD aProcesses[kMaxProcesses] = {};
    DWORD cbNeeded = 0;
    if (!::EnumProcesses(aProcesses, sizeof aProcesses, &cbNeeded)) return 0;
    const DWORD count = cbNeeded / sizeof(DWORD);

    wchar_t wchProcessName_Get[MAX_PATH] = L"";
    for (DWORD i = 0; i < count && i < kMaxProcesses; ++i) {
        if (aProcesses[i] == 0) continue;
        afx::UniqueHandle hProcess(::OpenProcess(kProcessAccess, FALSE, aProcesses[i]));
        if (!hProcess) continue;

        HMODULE hMod = nullptr;
        DWORD cbModules = 0;
        if (!::EnumProcessModules(hProcess.get(), &hMod, sizeof hMod, &cbModules)) continue;
        if (::GetModuleBaseNameW(hProcess.get(), hMod, wchProcessName_Get, MAX_PATH) == 0) continue;
        if (!EqualsIgnoringAsciiCase(wchProcessName_Get, lpszName)) continue;

        // For a live process the exit code is STILL_ACTIVE, which is what it ends with.
        DWORD dwExitCode = 0;
        ::GetExitCodeProcess(hProcess.get(), &dwExitCode);
        ::TerminateProcess(hProcess.get(), dwExitCode);
        return 1;
    }
    return 0;
}

BOOL CHalvernDlg::CallSupportClose() {
    const std::wstring path = suite::TempSupportLibraryPath();
    if (path.empty()) return 0;

    // Held from the check until after the library is unloaded, so the file that is loaded is
    // the one that was checked.
    afx::UniqueHandle pinned = suite::OpenIfSameAsResource(path.c_str(), AfxGetInstanceHandle(),
                                                           suite::kSupportLibraryResourceType,
                                                           suite::kSupportLibraryResourceId);
    if (!pinned) return 0;

    // A full path loads that file and nothing found by searching; unlike the altered search
    // order, its own imports are not looked for in the (writable) temporary directory.
    afx::Library library(::LoadLibraryW(path.c_str()));
    if (!library) return 0;

    typedef void (*PFN_CLOSEVANTRYEXE)();
    auto pfnClose = reinterpret_cast<PFN_CLOSEVANTRYEXE>(::GetProcAddress(library.get(), kCloseExport));
    if (pfnClose != nullptr) pfnClose();
    return ::FreeLibrary(library.release());
}

// Stand-in for the product's support library, Quorvel.dll.
//
// bool CloseVantryExe(void)  (cdecl, exported undecorated; takes nothing off the stack)
//   Closes the product's sibling program: posts WM_CLOSE to every top-level window of class
//   "TPelmoraSibling" (Pelmora.exe --sibling) and waits up to 5 s for each one's process to
//   end. Returns true when no sibling runs any more (also when none ran), false when one is
//   still there after the wait.
#include <windows.h>

#include "afx/handles.h"

namespace {

constexpr wchar_t kSiblingClass[] = L"TPelmoraSibling";
constexpr DWORD kWaitMs = 5000;
constexpr DWORD kPollMs = 50;
constexpr int kMaxSiblings = 32;

// Waits for the window to go: on its process's end when that can be opened, else by polling.
bool WaitUntilGone(HWND window, DWORD pid) {
    if (pid != 0 && pid != GetCurrentProcessId()) {
        afx::UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
        if (process.valid()) {
            return WaitForSingleObject(process.get(), kWaitMs) == WAIT_OBJECT_0 || !IsWindow(window);
        }
    }
    for (DWORD waited = 0; waited < kWaitMs; waited += kPollMs) {
        if (!IsWindow(window)) return true;
        Sleep(kPollMs);
    }
    return !IsWindow(window);
}

}  // namespace

extern "C" bool CloseVantryExe(void) {
    for (int i = 0; i < kMaxSiblings; ++i) {
        HWND sibling = FindWindowW(kSiblingClass, nullptr);
        if (sibling == nullptr) return true;
        DWORD pid = 0;
        GetWindowThreadProcessId(sibling, &pid);
        PostMessageW(sibling, WM_CLOSE, 0, 0);
        if (!WaitUntilGone(sibling, pid)) return false;
    }
    return FindWindowW(kSiblingClass, nullptr) == nullptr;
}

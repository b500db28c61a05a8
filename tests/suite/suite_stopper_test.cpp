// Stopping the product with the stand-in programs: the product's window, its process by
// name, and the support library's close-down export, in real processes under Wine.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "afx/afxwin.h"
#include "app/halvern_dlg.h"
#include "suite/support_library.h"
#include "suite/temp_folder.h"
#include "test_env.h"
#include "unwritable_files.h"
#include "window_probe.h"

namespace {

constexpr DWORD kTerminatedCode = STILL_ACTIVE;  // what the updater terminates a live process with
constexpr DWORD kStartMs = 15000;
constexpr DWORD kEndMs = 10000;
// The stop's budgets, small so that the cases that wait them out take little time; the
// updater's own are the defaults of suite::StopBudgets.
constexpr suite::StopBudgets kBudgets = {2000, 3000};

std::wstring StandIn(const wchar_t* name) { return testenv::BinFile(std::wstring(L"standins\\") + name); }

std::string EmbeddedLibrary() { return testenv::ResourceBytes(nullptr, "QUORVEL_DLL", 130); }

// Starts `image` with `args` and waits until it shows a window of class `windowClass`.
void StartWithWindow(testenv::ChildProcess& child, const std::wstring& image, const std::wstring& args,
                     const char* windowClass) {
    ASSERT_TRUE(child.Start(L"\"" + image + L"\" " + args)) << testenv::Narrow(image) << " did not start";
    ASSERT_NE(probe::WaitForTopWindow(child.Pid(), windowClass, nullptr, kStartMs), nullptr)
        << testenv::Narrow(image) << " showed no " << windowClass << " window";
    // A running product waits in its message loop; one still starting up may not read its
    // messages for a while.
    ASSERT_EQ(::WaitForInputIdle(child.Handle(), kStartMs), 0u) << testenv::Narrow(image) << " never became idle";
}

// The first module's base name of a process, as the system reports it.
std::wstring BaseName(HANDLE process) {
    HMODULE module = nullptr;
    DWORD needed = 0;
    wchar_t name[MAX_PATH] = L"";
    if (!::EnumProcessModules(process, &module, sizeof module, &needed)) return L"<unreadable>";
    ::GetModuleBaseNameW(process, module, name, MAX_PATH);
    return name;
}

// Position of `pid` in the system's process order, or SIZE_MAX.
size_t ProcessOrder(DWORD pid) {
    DWORD pids[1024] = {};
    DWORD bytes = 0;
    if (!::EnumProcesses(pids, sizeof pids, &bytes)) return SIZE_MAX;
    for (size_t i = 0; i < bytes / sizeof(DWORD); ++i) {
        if (pids[i] == pid) return i;
    }
    return SIZE_MAX;
}

// Whether `path` can be opened for writing with no sharing: no process holds it any more.
bool Released(const std::wstring& path) {
    afx::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.valid();
}

// Of `running`, the one the system lists first.
size_t FirstInOrder(const std::vector<testenv::ChildProcess>& running) {
    size_t first = running.size();
    size_t firstOrder = SIZE_MAX;
    for (size_t i = 0; i < running.size(); ++i) {
        const size_t order = ProcessOrder(running[i].Pid());
        if (order < firstOrder) {
            firstOrder = order;
            first = i;
        }
    }
    return first;
}

struct StopCase {
    const char* name;
    std::vector<const wchar_t*> instances;  // arguments of each running product, each from a file of its own
    const char* windowClass;                // the window the stand-in shows in that mode
    DWORD atLeastMs;                        // the stop took at least this long ...
    DWORD underMs;                          // ... and less than this
    DWORD exitCode;  // of the first instance: 0 it ended by itself; kTerminatedCode it was terminated
};

TEST(SuiteStopper, CloseRunningSuite) {
    // Without a temporary folder of the run's own there is no copy to load.
    ASSERT_EQ(L"", suite::TempSupportLibraryPath());
    const StopCase cases[] = {
        {"window closes on request", {L""}, "TMainForm", 0, 1000, 0},
        {"window closes, process saves for 500 ms", {L"--linger 500"}, "TMainForm", 500, kBudgets.closeMs, 0},
        {"window ignores the request", {L"--ignore-close"}, "TMainForm", kBudgets.closeMs,
         kBudgets.closeMs + kBudgets.terminatedEndMs, kTerminatedCode},
        {"no product window, process running", {L"--sibling"}, "TPelmoraSibling", 0, 1000, kTerminatedCode},
        {"two instances", {L"--sibling", L"--sibling"}, "TPelmoraSibling", 0, 1000, kTerminatedCode},
        {"nothing running", {}, nullptr, 0, 1000, 0},
    };
    CHalvernDlg dlg;
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring dir = testenv::FreshDir(L"suite-stop");
        std::vector<std::wstring> images;
        std::vector<testenv::ChildProcess> running(c.instances.size());
        for (size_t i = 0; i < c.instances.size(); ++i) {
            const std::wstring folder = dir + L"\\" + std::to_wstring(i);
            ASSERT_TRUE(testenv::MakeDirs(folder));
            images.push_back(folder + L"\\Pelmora.exe");
            ASSERT_TRUE(::CopyFileW(StandIn(L"Pelmora.exe").c_str(), images[i].c_str(), FALSE));
            ASSERT_NO_FATAL_FAILURE(StartWithWindow(running[i], images[i], c.instances[i], c.windowClass));
            // Under Xvfb with no window manager, Wine takes about 2000 ms to take a visible
            // window off the screen, which would look like a product slow to close. Hidden
            // beforehand, the window closes as promptly as on a desktop; the updater still finds it.
            ::ShowWindow(probe::FindTopWindow(running[i].Pid(), c.windowClass, nullptr), SW_HIDE);
        }
        const size_t first = FirstInOrder(running);

        const ULONGLONG start = ::GetTickCount64();
        dlg.CloseRunningSuite(kBudgets);
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        EXPECT_TRUE(elapsed >= c.atLeastMs && elapsed < c.underMs)
            << c.name << ": took " << elapsed << " ms, expected " << c.atLeastMs << " to " << c.underMs;

        for (size_t i = 0; i < running.size(); ++i) {
            if (i != first) {
                EXPECT_TRUE(running[i].Running()) << c.name << ": instance " << i << " ended with code "
                                                  << running[i].ExitCode();
                continue;
            }
            // Ended before the call returned, so its executable can be replaced at once.
            EXPECT_TRUE(running[i].Wait(0)) << c.name << ": instance " << i << " still runs";
            EXPECT_EQ(running[i].ExitCode(), c.exitCode) << c.name << ": instance " << i;
            EXPECT_TRUE(Released(images[i])) << c.name << ": instance " << i << "'s executable is still held";
        }
    }
}

struct KillCase {
    const char* name;
    std::vector<const wchar_t*> images;  // file names of the running processes
    int result;
};

TEST(SuiteStopper, KillProcessByName) {
    const KillCase cases[] = {
        {"exact name", {L"Pelmora.exe"}, 1},
        {"name in capitals", {L"PELMORA.EXE"}, 1},
        {"name with a further extension", {L"Pelmora.exe.bak"}, 0},
        {"nothing running", {}, 0},
    };
    CHalvernDlg dlg;
    int index = 0;
    for (const KillCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring dir = testenv::FreshDir(L"suite-kill-" + std::to_wstring(index++));
        std::vector<testenv::ChildProcess> running(c.images.size());
        for (size_t i = 0; i < c.images.size(); ++i) {
            const std::wstring image = dir + L"\\" + c.images[i];
            if (!testenv::FileExists(image)) {
                ASSERT_TRUE(::CopyFileW(StandIn(L"Pelmora.exe").c_str(), image.c_str(), TRUE));
            }
            ASSERT_NO_FATAL_FAILURE(StartWithWindow(running[i], image, L"", "TMainForm"));
            ASSERT_EQ(BaseName(running[i].Handle()), c.images[i]) << c.name << ": the module is named otherwise";
        }
        // Only the process the system lists first among those of the name may be terminated.
        const size_t first = FirstInOrder(running);

        EXPECT_EQ(dlg.KillProcessByName(L"Pelmora.exe", 0, kBudgets), c.result) << c.name;

        for (size_t i = 0; i < running.size(); ++i) {
            if (c.result == 1 && i == first) {
                const bool ended = running[i].Wait(kEndMs);
                EXPECT_TRUE(ended) << c.name << ": instance " << i << " was not terminated";
                if (ended) {
                    EXPECT_EQ(running[i].ExitCode(), kTerminatedCode) << c.name << ": instance " << i;
                }
            } else {
                // A process it terminated has ended by the time it returns (it waits for
                // that end), so one that still runs now was left alone.
                EXPECT_TRUE(running[i].Running())
                    << c.name << ": instance " << i << " ended with code " << running[i].ExitCode();
            }
        }
    }
}

enum class TempCopy { None, Genuine, Appended, OneByteChanged, HeldByOther };

struct SupportCase {
    const char* name;
    TempCopy copy;
    bool loads;  // the export ran (the sibling program closed) and the library was unloaded
};

// Writes the temporary copy for `copy`; a handle holding it, if any, is put in `holder`.
void PlaceTempCopy(TempCopy copy, const std::wstring& path, std::unique_ptr<testenv::HeldFile>& holder) {
    std::string bytes = EmbeddedLibrary();
    ASSERT_GT(bytes.size(), 0x80u) << "the test program carries no QUORVEL_DLL resource";
    if (copy == TempCopy::None) return;
    if (copy == TempCopy::Appended) bytes += '\0';
    if (copy == TempCopy::OneByteChanged) bytes[0x50] ^= 0x20;  // in the DOS stub's message
    ASSERT_TRUE(testenv::WriteFileBytes(path, bytes));

    if (copy == TempCopy::Appended || copy == TempCopy::OneByteChanged) {
        // The swapped copy would work if loaded, so only the check can keep it out. Tried from
        // a path of its own, so that the copy under test is never loaded by the test itself.
        const std::wstring trial = testenv::FreshDir(L"suite-support-trial") + L"\\Quorvel.dll";
        ASSERT_TRUE(testenv::WriteFileBytes(trial, bytes));
        afx::Library probe(::LoadLibraryW(trial.c_str()));
        ASSERT_TRUE(probe) << "the altered copy does not load";
        ASSERT_NE(::GetProcAddress(probe.get(), "CloseVantryExe"), nullptr);
    }
    if (copy == TempCopy::HeldByOther) {
        // A handle without sharing blocks every other opener alike, whichever process holds it.
        holder = std::make_unique<testenv::HeldFile>(path);
        ASSERT_TRUE(holder->ok()) << "the copy could not be held";
    }
}

TEST(SuiteStopper, CallSupportClose) {
    const std::wstring dir = testenv::FreshDir(L"suite-support");
    const std::wstring sibling = dir + L"\\Pelmora.exe";
    ASSERT_TRUE(::CopyFileW(StandIn(L"Pelmora.exe").c_str(), sibling.c_str(), FALSE));
    suite::TempRunFolder folder;
    ASSERT_TRUE(folder.Create());
    const std::wstring tempCopy = suite::TempSupportLibraryPath();
    const SupportCase cases[] = {
        {"no temporary copy", TempCopy::None, false},
        {"the embedded library", TempCopy::Genuine, true},
        {"swapped: one byte longer", TempCopy::Appended, false},
        {"swapped: one byte changed", TempCopy::OneByteChanged, false},
        {"held for writing elsewhere", TempCopy::HeldByOther, false},
    };
    CHalvernDlg dlg;
    for (const SupportCase& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(tempCopy.c_str());
        testenv::ChildProcess siblingProcess;
        ASSERT_NO_FATAL_FAILURE(StartWithWindow(siblingProcess, sibling, L"--sibling", "TPelmoraSibling"));
        std::unique_ptr<testenv::HeldFile> holder;
        ASSERT_NO_FATAL_FAILURE(PlaceTempCopy(c.copy, tempCopy, holder));

        const BOOL result = dlg.CallSupportClose();

        if (c.loads) {
            EXPECT_NE(result, FALSE) << c.name;
            EXPECT_TRUE(siblingProcess.Wait(kEndMs)) << c.name << ": the export did not close the sibling";
        } else {
            EXPECT_EQ(result, FALSE) << c.name;
            EXPECT_TRUE(siblingProcess.Running()) << c.name << ": the sibling was closed, so the copy was loaded";
        }
        EXPECT_EQ(::GetModuleHandleW(tempCopy.c_str()), nullptr) << c.name << ": the library stayed loaded";
        holder.reset();
        ::DeleteFileW(tempCopy.c_str());
    }
}

struct PinCase {
    const char* name;
    bool allowed;  // what another opener may do while the checked copy is held
    bool (*attempt)(const std::wstring& path);
};

TEST(SupportLibrary, CheckedCopyStaysPinnedUntilReleased) {
    const std::wstring dir = testenv::FreshDir(L"suite-pin");
    const std::wstring path = dir + L"\\Quorvel.dll";
    const std::string genuine = EmbeddedLibrary();
    ASSERT_FALSE(genuine.empty()) << "the test program carries no QUORVEL_DLL resource";

    ASSERT_TRUE(testenv::WriteFileBytes(path, genuine.substr(0, genuine.size() - 1)));
    EXPECT_FALSE(suite::OpenIfSameAsResource(path.c_str(), AfxGetInstanceHandle(), "QUORVEL_DLL", 130))
        << "a shortened copy was accepted";
    EXPECT_FALSE(suite::OpenIfSameAsResource(path.c_str(), AfxGetInstanceHandle(), "QUORVEL_DLL", 131))
        << "a copy was accepted against a missing resource";
    ASSERT_TRUE(testenv::WriteFileBytes(path, genuine)) << "a refused copy was left open";

    afx::UniqueHandle pinned = suite::OpenIfSameAsResource(path.c_str(), AfxGetInstanceHandle(), "QUORVEL_DLL", 130);
    ASSERT_TRUE(pinned) << "the genuine copy was refused";
    const PinCase cases[] = {
        {"open for writing", false,
         [](const std::wstring& p) {
             afx::UniqueHandle h(::CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                               FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
             return h.valid();
         }},
        {"delete", false, [](const std::wstring& p) { return ::DeleteFileW(p.c_str()) != FALSE; }},
        {"rename", false,
         [](const std::wstring& p) { return ::MoveFileW(p.c_str(), (p + L".moved").c_str()) != FALSE; }},
        {"open for reading", true,
         [](const std::wstring& p) {
             afx::UniqueHandle h(::CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                               nullptr));
             return h.valid();
         }},
        {"load as a library", true,
         [](const std::wstring& p) {
             afx::Library library(::LoadLibraryW(p.c_str()));
             return library.valid();
         }},
    };
    for (const PinCase& c : cases) {
        EXPECT_EQ(c.attempt(path), c.allowed) << c.name << " while pinned, error " << ::GetLastError();
    }
    pinned.reset();
    EXPECT_TRUE(::DeleteFileW(path.c_str())) << "still pinned after release, error " << ::GetLastError();
}

}  // namespace

// Quorvel.dll, the stand-in support library: CloseVantryExe as the updater calls it
// (GetProcAddress by the plain name, no arguments, one-byte bool), and what it closes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "afx/handles.h"
#include "test_env.h"
#include "window_probe.h"

namespace standins {
namespace {

// Upper bounds for things that normally take milliseconds; a Wine process start can take
// seconds on a busy machine. Only a broken stand-in ever waits this long.
constexpr DWORD kStartupMs = 20000;
constexpr DWORD kExitMs = 10000;
// How long the product must stay up after CloseVantryExe, to show it was left alone.
constexpr DWORD kStaysUpForMs = 1000;

struct WatchedCall {
    unsigned char result;  // AL: the one-byte bool
    std::uintptr_t espBefore;
    std::uintptr_t espAfter;
};

// Calls `fn` with nothing pushed and reads ESP just before and just after the call, so that a
// callee that pops bytes it was never given shows up as a changed stack pointer. ESP is put
// back afterwards, so that such a callee fails the test without corrupting this frame.
WatchedCall CallWatchingStack(FARPROC fn) {
    WatchedCall call{};
#if defined(__i386__)
    std::uintptr_t before = 0, after = 0, eax = 0;
    asm volatile(
        "movl %%esp, %0\n\t"
        "call *%3\n\t"
        "movl %%esp, %1\n\t"
        "movl %0, %%esp\n\t"
        : "=&S"(before), "=&D"(after), "=a"(eax)
        : "b"(fn)
        : "ecx", "edx", "memory", "cc");
    call = {static_cast<unsigned char>(eax & 0xFF), before, after};
#else
    call.result = reinterpret_cast<bool (*)()>(fn)() ? 1 : 0;
#endif
    return call;
}

constexpr wchar_t kQuorvelDll[] = L"standins\\Quorvel.dll";
constexpr wchar_t kPelmoraExe[] = L"standins\\Pelmora.exe";

TEST(QuorvelStandin, ExportsCloseVantryExeByItsPlainName) {
    afx::Library dll(::LoadLibraryW(testenv::BinFile(kQuorvelDll).c_str()));
    ASSERT_TRUE(dll.valid()) << "LoadLibrary error " << ::GetLastError();
    EXPECT_NE(::GetProcAddress(dll.get(), "CloseVantryExe"), nullptr);
}

TEST(QuorvelStandin, CloseVantryExeClosesOnlyTheSibling) {
    struct Case {
        const char* name;
        bool withSibling;
        bool withProduct;
    };
    const Case cases[] = {
        {"nothing running", false, false},
        {"sibling running", true, false},
        {"product and sibling running", true, true},
        {"product running", false, true},
    };
    afx::Library dll(::LoadLibraryW(testenv::BinFile(kQuorvelDll).c_str()));
    ASSERT_TRUE(dll.valid()) << "LoadLibrary error " << ::GetLastError();
    FARPROC closeVantryExe = ::GetProcAddress(dll.get(), "CloseVantryExe");
    ASSERT_NE(closeVantryExe, nullptr);

    for (const Case& c : cases) {
        testenv::ChildProcess sibling, product;
        HWND siblingWindow = nullptr;
        if (c.withSibling) {
            ASSERT_TRUE(sibling.Start(L"\"" + testenv::BinFile(kPelmoraExe) + L"\" --sibling")) << c.name;
            siblingWindow = probe::WaitForTopWindow(sibling.Pid(), "TPelmoraSibling", nullptr, kStartupMs);
            ASSERT_NE(siblingWindow, nullptr) << c.name << ": sibling exit code " << sibling.ExitCode();
        }
        if (c.withProduct) {
            ASSERT_TRUE(product.Start(L"\"" + testenv::BinFile(kPelmoraExe) + L"\"")) << c.name;
            ASSERT_NE(probe::WaitForTopWindow(product.Pid(), "TMainForm", "Pelmora", kStartupMs), nullptr)
                << c.name << ": product exit code " << product.ExitCode();
        }

        const WatchedCall call = CallWatchingStack(closeVantryExe);
        EXPECT_EQ(call.result, 1) << c.name << ": CloseVantryExe returned " << int(call.result);
        EXPECT_EQ(call.espAfter, call.espBefore)
            << c.name << ": stack pointer moved by " << static_cast<long>(call.espAfter - call.espBefore);
        if (c.withSibling) {
            // CloseVantryExe returns once the sibling has gone, not merely once it was asked.
            EXPECT_FALSE(::IsWindow(siblingWindow)) << c.name << ": sibling window still there";
            EXPECT_TRUE(sibling.Wait(kExitMs)) << c.name << ": sibling still running";
            EXPECT_EQ(sibling.ExitCode(), 0u) << c.name << ": sibling did not close normally";
        }
        if (c.withProduct) {
            EXPECT_FALSE(product.Wait(kStaysUpForMs))
                << c.name << ": the product ended, exit code " << product.ExitCode();
        }
    }
}

}  // namespace
}  // namespace standins

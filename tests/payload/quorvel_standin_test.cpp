// Quorvel.dll, the stand-in support library: CloseVantryExe as the updater calls it
// (GetProcAddress by the plain name, no arguments, one-byte bool), and what it closes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "afx/handles.h"
#include "standin_env.h"
#include "standin_process.h"

namespace standins {
namespace {

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

TEST(QuorvelStandin, ExportsCloseVantryExeByItsPlainName) {
    afx::Library dll(::LoadLibraryW(StandinFile(L"Quorvel.dll").c_str()));
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
    afx::Library dll(::LoadLibraryW(StandinFile(L"Quorvel.dll").c_str()));
    ASSERT_TRUE(dll.valid()) << "LoadLibrary error " << ::GetLastError();
    FARPROC closeVantryExe = ::GetProcAddress(dll.get(), "CloseVantryExe");
    ASSERT_NE(closeVantryExe, nullptr);

    for (const Case& c : cases) {
        ChildProcess sibling, product;
        HWND siblingWindow = nullptr;
        if (c.withSibling) {
            ASSERT_TRUE(sibling.Start(StandinFile(L"Pelmora.exe"), L"--sibling")) << c.name;
            siblingWindow = sibling.WaitForWindow(L"TPelmoraSibling", nullptr, kStartupMs);
            ASSERT_NE(siblingWindow, nullptr) << c.name << ": sibling exit code " << sibling.ExitCode();
        }
        if (c.withProduct) {
            ASSERT_TRUE(product.Start(StandinFile(L"Pelmora.exe"), L"")) << c.name;
            ASSERT_NE(product.WaitForWindow(L"TMainForm", L"Pelmora", kStartupMs), nullptr)
                << c.name << ": product exit code " << product.ExitCode();
        }

        const WatchedCall call = CallWatchingStack(closeVantryExe);
        EXPECT_EQ(call.result, 1) << c.name << ": CloseVantryExe returned " << int(call.result);
        EXPECT_EQ(call.espAfter, call.espBefore)
            << c.name << ": stack pointer moved by " << static_cast<long>(call.espAfter - call.espBefore);
        if (c.withSibling) {
            // CloseVantryExe returns once the sibling has gone, not merely once it was asked.
            EXPECT_FALSE(::IsWindow(siblingWindow)) << c.name << ": sibling window still there";
            EXPECT_TRUE(sibling.WaitForExit(kExitMs)) << c.name << ": sibling still running";
            EXPECT_EQ(sibling.ExitCode(), 0u) << c.name << ": sibling did not close normally";
        }
        if (c.withProduct) {
            EXPECT_FALSE(product.WaitForExit(kStaysUpForMs))
                << c.name << ": the product ended, exit code " << product.ExitCode();
        }
    }
}

}  // namespace
}  // namespace standins

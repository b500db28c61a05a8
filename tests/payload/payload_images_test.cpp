// The PE images of the payload folder (the files the build embeds): machine, kind, subsystem
// and driver flag as the updater's target systems need them, read from the files.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "pe_headers.h"
#include "test_env.h"

namespace standins {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return text;
}

TEST(PayloadImages, HeadersFitTheirRows) {
    struct Case {
        const char* source;
        WORD machine;
        WORD magic;
        WORD subsystem;
        bool dll;
        bool wdm;
    };
    const Case cases[] = {
        {"Quorvel.dll", IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_SUBSYSTEM_WINDOWS_GUI, true, false},
        {"Pelmora.exe", IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_SUBSYSTEM_WINDOWS_GUI, false, false},
        {"TarnwellPlus.exe", IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_SUBSYSTEM_WINDOWS_GUI, false,
         false},
        {"Drivers/i386/Tarnwell.sys", IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_SUBSYSTEM_NATIVE,
         false, true},
        {"Drivers/i386/TarnwellPlus.sys", IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_SUBSYSTEM_NATIVE,
         false, true},
        {"Drivers/amd64/Tarnwell.sys", IMAGE_FILE_MACHINE_AMD64, IMAGE_NT_OPTIONAL_HDR64_MAGIC, IMAGE_SUBSYSTEM_NATIVE,
         false, true},
        {"Drivers/amd64/TarnwellPlus.sys", IMAGE_FILE_MACHINE_AMD64, IMAGE_NT_OPTIONAL_HDR64_MAGIC,
         IMAGE_SUBSYSTEM_NATIVE, false, true},
    };
    for (const Case& c : cases) {
        testenv::PeHeaders pe;
        std::string error;
        ASSERT_TRUE(testenv::ReadPeHeaders(testenv::PayloadFile(c.source), &pe, &error)) << c.source << ": " << error;
        EXPECT_EQ(pe.machine, c.machine) << c.source << ": machine";
        EXPECT_EQ(pe.magic, c.magic) << c.source << ": optional header magic";
        EXPECT_EQ(pe.subsystem, c.subsystem) << c.source << ": subsystem";
        EXPECT_EQ((pe.characteristics & IMAGE_FILE_DLL) != 0, c.dll)
            << c.source << ": characteristics 0x" << std::hex << pe.characteristics;
        if (c.wdm) {
            EXPECT_NE(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_WDM_DRIVER, 0)
                << c.source << ": DllCharacteristics 0x" << std::hex << pe.dllCharacteristics;
        }
        EXPECT_NE(pe.entryPoint, 0u) << c.source << ": no entry point";
        // Self-contained: no mingw runtime DLL has to lie beside it.
        for (const std::string& dll : pe.importedDlls) {
            const std::string lower = Lower(dll);
            EXPECT_TRUE(lower.rfind("libgcc", 0) != 0 && lower.rfind("libstdc++", 0) != 0 &&
                        lower.rfind("libwinpthread", 0) != 0)
                << c.source << ": imports " << dll;
        }
    }
}

TEST(PayloadImages, QuorvelExportsCloseVantryExeUndecorated) {
    testenv::PeHeaders pe;
    std::string error;
    ASSERT_TRUE(testenv::ReadPeHeaders(testenv::PayloadFile("Quorvel.dll"), &pe, &error)) << error;
    const auto& names = pe.exportedNames;
    EXPECT_NE(std::find(names.begin(), names.end(), "CloseVantryExe"), names.end())
        << "exports: " << ::testing::PrintToString(names);
}

TEST(PayloadImages, EachDriverPairDiffersInBytes) {
    const char* const pairs[][2] = {
        {"Drivers/i386/Tarnwell.sys", "Drivers/i386/TarnwellPlus.sys"},
        {"Drivers/amd64/Tarnwell.sys", "Drivers/amd64/TarnwellPlus.sys"},
    };
    for (const auto& pair : pairs) {
        std::string first, second;
        ASSERT_TRUE(testenv::ReadFileBytes(testenv::PayloadFile(pair[0]), &first)) << pair[0];
        ASSERT_TRUE(testenv::ReadFileBytes(testenv::PayloadFile(pair[1]), &second)) << pair[1];
        // Compared as a condition: printing two whole driver images would bury the message.
        EXPECT_TRUE(first != second) << pair[0] << " and " << pair[1] << " are the same " << first.size() << " bytes";
    }
}

}  // namespace
}  // namespace standins

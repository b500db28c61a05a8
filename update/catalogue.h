// The payload catalogue: every file the update writes, in writing order. The rows are
// generated at build time from payload/catalogue.tsv, the same list the resource script's
// payload declarations come from.
#pragma once

#include <windows.h>

// The directory a row's relative path is appended to.
enum class PayloadBase {
    TempDir,        // GetTempPathW: ends in a backslash, so the seam holds two
    SystemDir,      // GetSystemDirectoryW: no trailing backslash
    InstallDir,     // g_szRootPath as read
    CompanionPath,  // no directory: the target is g_szCompanionExe, unchanged
};

enum class PayloadGroup { SupportLibrary, Driver, ProductExe, CompanionExe, Skin };

// When the sequence writes a row.
enum class PayloadCondition {
    Always,
    Wow64Only,           // 64-bit Windows
    Native32Only,        // 32-bit Windows
    CompanionRefreshed,  // RefreshCompanion returned nonzero
};

struct PayloadEntry {
    PayloadGroup group;
    PayloadCondition condition;
    PayloadBase base;
    const wchar_t* relativePath;  // begins with a backslash; empty for the companion row
    const char* resourceType;     // custom resource type name, upper case
    WORD resourceId;              // numeric resource name
    const char* failureMessage;   // shown in interactive mode when the target cannot be created
};

class PayloadCatalogue {
public:
    // Generated from the catalogue: kRowCount; the Row numbers of the rows the sequence
    // handles by name (the temporary and the installed support library, the product, the
    // companion) and the bounds of the runs it loops over (kFirstDriver..kLastDriver,
    // kFirstSkin..kLastSkin), the build having checked that each row has the group, condition
    // and base its step relies on; and the resource that holds the support library
    // (kSupportLibraryResourceType, kSupportLibraryResourceId), which every SupportLibrary
    // row names.
#include "payload_names.inc"

    static int Count() { return kRowCount; }
    // Row `number`, from 1 to Count(). The number must be in range.
    static const PayloadEntry& Row(int number);
    // Whether the sequence writes `row` on this machine: on 64-bit Windows (`wow64`) or on
    // 32-bit Windows, after RefreshCompanion returned `companionRefreshed`.
    static bool Applies(const PayloadEntry& row, bool wow64, bool companionRefreshed);
};

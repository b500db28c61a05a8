// The program's own resources, read back from the built updater executable: both dialog
// templates field by field, the string table, the icon's images, the version block and the
// manifest, each in language 1033 and nothing besides them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>
#include <vector>

#include "afx/handles.h"
#include "dialog_template.h"
#include "res/resource.h"
#include "test_env.h"
#include "version_block.h"

namespace dlgres {
namespace {

constexpr WORD kEnglishUS = 1033;
const char kLegalNotice[] = "Copyright (C) 2024 Ostrel";
const char kMessageText[] =
    "This application installs Pelmora update on your computer. Close Pelmora before continuing. Do you want "
    "to continue?";

std::wstring UpdaterPath() {
    return testenv::BinFile(L"Ostrel Pelmora update.exe");
}

// The updater, mapped for its resources only (nothing of it runs).
afx::Library LoadUpdater() {
    return afx::Library(::LoadLibraryExW(UpdaterPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

std::string Hex(DWORD v) {
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << v;
    return s.str();
}

std::string Describe(const DialogTemplate& t) {
    std::ostringstream s;
    s << (t.extended ? "extended v" + std::to_string(t.version) : std::string("classic")) << " help=" << t.helpId
      << " style=" << Hex(t.style) << " exStyle=" << Hex(t.exStyle) << " at " << t.x << "," << t.y << " " << t.cx
      << "x" << t.cy << " menu=\"" << t.menu.Describe() << "\" class=\"" << t.windowClass.Describe() << "\" title=\""
      << testenv::Narrow(t.title) << "\"";
    if (t.hasFont) {
        s << " font=\"" << testenv::Narrow(t.typeface) << "\" " << t.pointSize << "pt";
        if (t.extended) s << " weight=" << t.weight << " italic=" << int(t.italic) << " charset=" << int(t.charset);
    }
    s << " controls=" << t.controls.size();
    return s.str();
}

std::string Describe(const ControlTemplate& c) {
    std::ostringstream s;
    s << "id=" << Hex(c.id) << " class=" << c.windowClass.Describe() << " title=\"" << c.title.Describe()
      << "\" style=" << Hex(c.style) << " exStyle=" << Hex(c.exStyle) << " help=" << c.helpId << " at " << c.x << ","
      << c.y << " " << c.cx << "x" << c.cy << " extra=" << c.extraBytes;
    return s.str();
}

// Expected values, written the way Describe prints them.
std::string Header(bool extended, DWORD style, DWORD exStyle, int cx, int cy, const char* title, const char* font,
                   int points, size_t controls) {
    DialogTemplate t;
    t.extended = extended;
    t.version = extended ? 1 : 0;
    t.style = style;
    t.exStyle = exStyle;
    t.cx = static_cast<short>(cx);
    t.cy = static_cast<short>(cy);
    t.title = testenv::Widen(title);
    t.hasFont = true;
    t.typeface = testenv::Widen(font);
    t.pointSize = static_cast<WORD>(points);
    t.weight = extended ? 400 : 0;
    t.controls.resize(controls);
    return Describe(t);
}

std::string Control(DWORD id, WORD classOrdinal, const char* title, DWORD style, int x, int y, int cx, int cy) {
    ControlTemplate c;
    c.id = id;
    c.windowClass.isOrdinal = true;
    c.windowClass.ordinal = classOrdinal;
    c.title.text = testenv::Widen(title);
    c.style = style;
    c.x = static_cast<short>(x);
    c.y = static_cast<short>(y);
    c.cx = static_cast<short>(cx);
    c.cy = static_cast<short>(cy);
    return Describe(c);
}

std::string IconControl(DWORD id, WORD icon, DWORD style, int x, int y, int cx, int cy) {
    std::string text = Control(id, 0x0082, "", style, x, y, cx, cy);
    return text.replace(text.find("title=\"\""), 8, "title=\"#" + std::to_string(icon) + "\"");
}

constexpr WORD kButton = 0x0080;
constexpr WORD kStatic = 0x0082;

struct TemplateCase {
    const char* name;
    WORD id;
    std::string header;
    std::vector<std::string> controls;
};

TEST(UpdaterResources, DialogTemplatesHoldEveryFieldAsDesigned) {
    afx::Library module = LoadUpdater();
    ASSERT_TRUE(module.valid()) << "cannot map " << testenv::Narrow(UpdaterPath()) << ", error " << ::GetLastError();

    const TemplateCase kCases[] = {
        {"IDD_HALVERN_DIALOG",
         IDD_HALVERN_DIALOG,
         Header(true, 0x90C800C0, 0x00040000, 154, 75, "Ostrel Pelmora update", "Verdana", 9, 5),
         {
             Control(IDC_YES, kButton, "YES", 0x50010000, 23, 51, 41, 17),
             Control(0xFFFFFFFF, kStatic, kMessageText, 0x50020000, 7, 14, 140, 35),
             Control(IDC_CANCEL_BTN, kButton, "Cancel", 0x50010000, 83, 51, 42, 17),
             Control(IDC_EXIT, kButton, "Exit", 0x40010000, 83, 51, 42, 17),
             Control(IDC_REBOOT, kButton, "Reboot", 0x40010000, 22, 51, 42, 17),
         }},
        {"IDD_ABOUTBOX",
         IDD_ABOUTBOX,
         Header(false, 0x80C800C0, 0, 235, 55, "About ", "MS Sans Serif", 8, 4),
         {
             IconControl(0xFFFF, IDR_MAINFRAME, 0x50000003, 11, 17, 20, 20),
             Control(0xFFFF, kStatic, "Ostrel Brenfield Version 1.0", 0x50020080, 40, 10, 119, 8),
             Control(0xFFFF, kStatic, kLegalNotice, 0x50020000, 40, 25, 119, 8),
             Control(IDOK, kButton, "OK", 0x50030001, 178, 7, 50, 14),
         }},
    };
    for (const TemplateCase& c : kCases) {
        std::string bytes = testenv::ResourceBytes(module.get(), reinterpret_cast<const char*>(RT_DIALOG), c.id);
        ASSERT_FALSE(bytes.empty()) << c.name << ": no such dialog resource";
        DialogTemplate t;
        std::string error;
        ASSERT_TRUE(ParseDialogTemplate(bytes, &t, &error)) << c.name << ": " << error;
        EXPECT_EQ(c.header, Describe(t)) << c.name;
        for (size_t i = 0; i < c.controls.size() && i < t.controls.size(); ++i) {
            EXPECT_EQ(c.controls[i], Describe(t.controls[i])) << c.name << ", control " << i + 1;
        }
    }
}

// Every resource of these types, by name, with its languages.
std::vector<std::string> ResourcesOfType(HMODULE module, LPCWSTR type) {
    struct Collect {
        static BOOL CALLBACK Language(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
            reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
            return TRUE;
        }
        static BOOL CALLBACK Name(HMODULE m, LPCWSTR t, LPWSTR name, LONG_PTR param) {
            std::vector<WORD> languages;
            ::EnumResourceLanguagesW(m, t, name, &Language, reinterpret_cast<LONG_PTR>(&languages));
            std::string text = IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<ULONG_PTR>(name))
                                                    : "\"" + testenv::Narrow(name) + "\"";
            text += " lang";
            for (WORD l : languages) text += " " + std::to_string(l);
            reinterpret_cast<std::vector<std::string>*>(param)->push_back(text);
            return TRUE;
        }
    };
    std::vector<std::string> found;
    ::EnumResourceNamesW(module, type, &Collect::Name, reinterpret_cast<LONG_PTR>(&found));
    std::sort(found.begin(), found.end());
    return found;
}

struct IconEntry {
    int width = 0, height = 0, bitCount = 0;
    WORD id = 0;
    DWORD bytes = 0;
};

std::vector<IconEntry> IconGroup(HMODULE module, WORD id) {
    std::string group = testenv::ResourceBytes(module, reinterpret_cast<const char*>(RT_GROUP_ICON), id);
    std::vector<IconEntry> entries;
    if (group.size() < 6) return entries;
    WORD count = 0;
    std::memcpy(&count, group.data() + 4, 2);
    for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
        const unsigned char* e = reinterpret_cast<const unsigned char*>(group.data()) + 6 + 14 * i;
        IconEntry entry;
        entry.width = e[0] == 0 ? 256 : e[0];
        entry.height = e[1] == 0 ? 256 : e[1];
        std::memcpy(&entry.bitCount, e + 6, 2);
        std::memcpy(&entry.bytes, e + 8, 4);
        std::memcpy(&entry.id, e + 12, 2);
        entries.push_back(entry);
    }
    return entries;
}

TEST(UpdaterResources, OnlyTheProgramsOwnResourcesAllInEnglishUS) {
    afx::Library module = LoadUpdater();
    ASSERT_TRUE(module.valid()) << "error " << ::GetLastError();
    std::vector<std::string> iconImages;
    for (const IconEntry& e : IconGroup(module.get(), IDR_MAINFRAME)) {
        iconImages.push_back(std::to_string(e.id) + " lang 1033");
    }
    std::sort(iconImages.begin(), iconImages.end());
    ASSERT_EQ(6u, iconImages.size());

    struct TypeCase {
        const char* name;
        LPCWSTR type;
        std::vector<std::string> expected;
    };
    // String 101 lives in block 101 / 16 + 1 = 7; there is no block for 0xE000 (3585).
    const TypeCase kCases[] = {
        {"RT_DIALOG", MAKEINTRESOURCEW(5), {"100 lang 1033", "102 lang 1033"}},
        {"RT_STRING", MAKEINTRESOURCEW(6), {"7 lang 1033"}},
        {"RT_GROUP_ICON", MAKEINTRESOURCEW(14), {"128 lang 1033"}},
        {"RT_ICON", MAKEINTRESOURCEW(3), iconImages},
        {"RT_VERSION", MAKEINTRESOURCEW(16), {"1 lang 1033"}},
        // Exactly one manifest: the toolchain's default one must not be linked in as well.
        {"RT_MANIFEST", MAKEINTRESOURCEW(24), {"1 lang 1033"}},
    };
    for (const TypeCase& c : kCases) {
        EXPECT_EQ(c.expected, ResourcesOfType(module.get(), c.type)) << c.name;
    }

    // No standard type besides those; the payloads have string-named types of their own.
    struct Types {
        static BOOL CALLBACK Collect(HMODULE, LPWSTR type, LONG_PTR param) {
            if (IS_INTRESOURCE(type)) {
                reinterpret_cast<std::set<ULONG_PTR>*>(param)->insert(reinterpret_cast<ULONG_PTR>(type));
            }
            return TRUE;
        }
    };
    std::set<ULONG_PTR> standardTypes;
    ::EnumResourceTypesW(module.get(), &Types::Collect, reinterpret_cast<LONG_PTR>(&standardTypes));
    std::set<ULONG_PTR> expectedTypes = {3, 5, 6, 14, 16, 24};  // icon, dialog, string, group icon, version, manifest
    EXPECT_EQ(expectedTypes, standardTypes);
}

TEST(UpdaterResources, TheOneStringIsTheAboutItem) {
    afx::Library module = LoadUpdater();
    ASSERT_TRUE(module.valid());
    struct StringCase {
        UINT id;
        const wchar_t* expected;  // null: no such string
    };
    std::vector<StringCase> cases = {{IDS_ABOUTBOX, L"&About Ostrel Brenfield..."}, {0xE000, nullptr}};
    // The rest of the block that holds string 101 is empty.
    for (UINT id = 96; id < 112; ++id) {
        if (id != IDS_ABOUTBOX) cases.push_back({id, nullptr});
    }
    for (const StringCase& c : cases) {
        const wchar_t* text = nullptr;
        int length = ::LoadStringW(module.get(), c.id, reinterpret_cast<LPWSTR>(&text), 0);
        std::wstring actual = length > 0 && text != nullptr ? std::wstring(text, static_cast<size_t>(length)) : L"";
        if (c.expected == nullptr) {
            EXPECT_EQ(0, length) << "string " << c.id << " exists: \"" << testenv::Narrow(actual) << "\"";
        } else {
            EXPECT_EQ(testenv::Narrow(c.expected), testenv::Narrow(actual)) << "string " << c.id;
        }
    }
}

TEST(UpdaterResources, IconHasSixDeviceIndependentBitmaps) {
    afx::Library module = LoadUpdater();
    ASSERT_TRUE(module.valid());
    std::vector<IconEntry> entries = IconGroup(module.get(), IDR_MAINFRAME);
    ASSERT_EQ(6u, entries.size());

    std::multiset<std::string> sizes;
    for (const IconEntry& e : entries) {
        std::string name = "icon image " + std::to_string(e.id) + " (" + std::to_string(e.width) + "x" +
                           std::to_string(e.height) + ", " + std::to_string(e.bitCount) + " bpp)";
        sizes.insert(std::to_string(e.width) + "x" + std::to_string(e.height) + "@" + std::to_string(e.bitCount));
        std::string image = testenv::ResourceBytes(module.get(), reinterpret_cast<const char*>(RT_ICON), e.id);
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER)) << name;
        EXPECT_NE(0, image.compare(0, 4, "\x89PNG")) << name << " is PNG-compressed";
        BITMAPINFOHEADER h;
        std::memcpy(&h, image.data(), sizeof h);
        EXPECT_EQ(sizeof(BITMAPINFOHEADER), h.biSize) << name;
        EXPECT_EQ(e.width, h.biWidth) << name;
        EXPECT_EQ(2 * e.height, h.biHeight) << name << ": the colour bitmap and its mask";
        EXPECT_EQ(e.bitCount, h.biBitCount) << name;
        EXPECT_EQ(static_cast<DWORD>(BI_RGB), h.biCompression) << name;
        EXPECT_EQ(e.bytes, image.size()) << name << ": size in the group entry";

        // The system can make an icon of it at its own size.
        HICON icon = ::CreateIconFromResourceEx(reinterpret_cast<PBYTE>(&image[0]), static_cast<DWORD>(image.size()),
                                                TRUE, 0x00030000, e.width, e.height, LR_DEFAULTCOLOR);
        EXPECT_NE(nullptr, icon) << name << " cannot be made into an icon";
        if (icon != nullptr) ::DestroyIcon(icon);
    }
    std::multiset<std::string> expected = {"48x48@8", "48x48@32", "32x32@8", "32x32@32", "16x16@8", "16x16@32"};
    EXPECT_EQ(expected, sizes);
}

TEST(UpdaterResources, VersionBlockHoldsExactlyTheListedEntries) {
    std::wstring path = UpdaterPath();
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_NE(0u, size) << "no version block, error " << ::GetLastError();
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    struct Field {
        const char* name;
        DWORD actual;
        DWORD expected;
    };
    const Field kFields[] = {
        {"signature", fixed->dwSignature, 0xFEEF04BD},
        {"file version high", fixed->dwFileVersionMS, 0x00010000},
        {"file version low", fixed->dwFileVersionLS, 0x00000003},
        {"product version high", fixed->dwProductVersionMS, 0x00010000},
        {"product version low", fixed->dwProductVersionLS, 0x00000003},
        {"flags mask", fixed->dwFileFlagsMask, 0x3F},
        {"flags (debug)", fixed->dwFileFlags, 0x1},
        {"operating system", fixed->dwFileOS, 0x4},
        {"file type", fixed->dwFileType, 0x1},
        {"file subtype", fixed->dwFileSubtype, 0x0},
    };
    for (const Field& f : kFields) {
        EXPECT_EQ(Hex(f.expected), Hex(f.actual)) << f.name;
    }

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_EQ(4u, length) << "one language and code page pair";
    EXPECT_EQ(Hex(0x0409), Hex(translation[0]));
    EXPECT_EQ(Hex(0x04B0), Hex(translation[1]));

    struct Entry {
        const wchar_t* key;
        const char* expected;
    };
    const Entry kEntries[] = {
        {L"FileVersion", "1, 0, 0, 3"},
        {L"InternalName", "Ostrel Pelmora update"},
        {L"LegalCopyright", kLegalNotice},
        {L"OriginalFilename", "Ostrel Pelmora update.exe"},
        {L"ProductName", "Ostrel Pelmora update "},
        {L"ProductVersion", "1, 0, 0, 3"},
    };
    for (const Entry& e : kEntries) {
        wchar_t* value = nullptr;
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + e.key;
        bool found = ::VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value;
        EXPECT_TRUE(found) << testenv::Narrow(e.key);
        if (found) {
            EXPECT_EQ(e.expected, testenv::Narrow(value)) << testenv::Narrow(e.key);
        }
    }

    // Nothing beyond those: listed from the raw block, not looked up by name.
    afx::Library module = LoadUpdater();
    ASSERT_TRUE(module.valid());
    VersionNode root;
    std::string error;
    ASSERT_TRUE(ParseVersionBlock(testenv::ResourceBytes(module.get(), reinterpret_cast<const char*>(RT_VERSION), 1),
                                  &root, &error))
        << error;
    auto keys = [](const VersionNode* node) {
        std::vector<std::string> names;
        if (node == nullptr) return names;
        for (const VersionNode& child : node->children) names.push_back(testenv::Narrow(child.key));
        return names;
    };
    EXPECT_EQ("VS_VERSION_INFO", testenv::Narrow(root.key));
    EXPECT_EQ((std::vector<std::string>{"StringFileInfo", "VarFileInfo"}), keys(&root));
    const VersionNode* strings = root.Child(L"StringFileInfo");
    EXPECT_EQ((std::vector<std::string>{"040904b0"}), keys(strings));
    const VersionNode* table = strings != nullptr ? strings->Child(L"040904b0") : nullptr;
    std::vector<std::string> entryKeys = keys(table);
    std::sort(entryKeys.begin(), entryKeys.end());
    EXPECT_EQ((std::vector<std::string>{"FileVersion", "InternalName", "LegalCopyright", "OriginalFilename",
                                        "ProductName", "ProductVersion"}),
              entryKeys)
        << "no company name, no file description";
    const VersionNode* vars = root.Child(L"VarFileInfo");
    EXPECT_EQ((std::vector<std::string>{"Translation"}), keys(vars));
}

TEST(UpdaterResources, ManifestIsOneEmptyAssemblyElement) {
    afx::Library module = LoadUpdater();
    ASSERT_TRUE(module.valid());
    std::string text = testenv::ResourceBytes(module.get(), reinterpret_cast<const char*>(RT_MANIFEST), 1);
    ASSERT_FALSE(text.empty()) << "no manifest 1";
    // An XML declaration may lead; nothing but the one element may follow it.
    std::string body = text;
    if (body.compare(0, 5, "<?xml") == 0) body.erase(0, body.find("?>") + 2);
    auto blank = [](char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; };
    while (!body.empty() && blank(body.front())) body.erase(body.begin());
    while (!body.empty() && blank(body.back())) body.pop_back();
    EXPECT_EQ("<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"/>", body)
        << "whole manifest:\n" << text;
}

}  // namespace
}  // namespace dlgres

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "afx/handles.h"
#include "test_env.h"
#include "update/catalogue.h"

namespace {

using Pair = std::pair<std::string, WORD>;

struct EnumContext {
    std::map<Pair, std::vector<WORD>> found;
    std::string type;
    WORD id = 0;
};

BOOL CALLBACK OnLanguage(HMODULE, LPCSTR, LPCSTR, WORD lang, LONG_PTR p) {
    auto* c = reinterpret_cast<EnumContext*>(p);
    c->found[{c->type, c->id}].push_back(lang);
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR p) {
    auto* c = reinterpret_cast<EnumContext*>(p);
    c->id = IS_INTRESOURCE(name) ? static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)) : 0;
    ::EnumResourceLanguagesA(module, type, name, &OnLanguage, p);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR p) {
    if (IS_INTRESOURCE(type)) return TRUE;  // the platform's own types: dialogs, icons, version
    reinterpret_cast<EnumContext*>(p)->type = type;
    ::EnumResourceNamesA(module, type, &OnName, p);
    return TRUE;
}

// Every resource of a custom (named) type in `module`, with its languages.
std::map<Pair, std::vector<WORD>> CustomResources(HMODULE module) {
    EnumContext ctx;
    ::EnumResourceTypesA(module, &OnType, reinterpret_cast<LONG_PTR>(&ctx));
    return ctx.found;
}

TEST(PayloadCatalogue, MatchesTheUpdatersOwnResources) {
    afx::Library updater(::LoadLibraryExW(testenv::BinFile(L"Ostrel Pelmora update.exe").c_str(), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(updater) << "error " << ::GetLastError();
    std::map<Pair, std::vector<WORD>> resources = CustomResources(updater.get());

    ASSERT_EQ(161, PayloadCatalogue::Count());
    std::set<Pair> named;
    for (int n = 1; n <= PayloadCatalogue::Count(); ++n) {
        const PayloadEntry& row = PayloadCatalogue::Row(n);
        Pair pair(row.resourceType, row.resourceId);
        named.insert(pair);
        auto it = resources.find(pair);
        ASSERT_NE(resources.end(), it) << "row " << n << ": " << row.resourceType << " " << row.resourceId;
        EXPECT_EQ(std::vector<WORD>{1033}, it->second) << "row " << n << ": one resource, in language 1033";
        EXPECT_EQ(row.base == PayloadBase::CompanionPath, row.relativePath[0] == L'\0') << "row " << n;
        if (row.base != PayloadBase::CompanionPath) {
            EXPECT_EQ(L'\\', row.relativePath[0]) << "row " << n;
        }
        EXPECT_LE(std::wcslen(row.relativePath), 72u) << "row " << n;
    }
    EXPECT_EQ(160u, named.size()) << "distinct type and id pairs";
    EXPECT_EQ(named.size(), resources.size()) << "every custom resource is named by a row";
    const PayloadEntry& first = PayloadCatalogue::Row(PayloadCatalogue::kTempSupportLibrary);
    const PayloadEntry& sixth = PayloadCatalogue::Row(PayloadCatalogue::kInstallSupportLibrary);
    EXPECT_STREQ(first.resourceType, sixth.resourceType);
    EXPECT_EQ(first.resourceId, sixth.resourceId);
    EXPECT_STRNE(first.failureMessage, sixth.failureMessage);
}

TEST(PayloadCatalogue, SkinNamesFollowTheFolderRule) {
    // Folder code and id base, in writing order; TOBG covers two folders.
    const std::vector<std::pair<std::string, int>> folders = {
        {"AS", 140},   {"BGDT", 150}, {"BGFE", 160}, {"BGGM", 170}, {"BGHM", 180}, {"BTN", 190},
        {"CCAN", 200}, {"CCBG", 210}, {"CCBT", 220}, {"CR", 230},   {"CO", 240},   {"GBTN", 250},
        {"LD", 280},   {"NW", 300},   {"PW", 310},   {"SV", 320},   {"SD", 340},   {"TP", 360},
        {"TOBG", 370}, {"TOBG", 380}};
    size_t folder = 0;
    int k = 0;
    std::wstring currentDir;
    for (int n = PayloadCatalogue::kFirstSkin; n < PayloadCatalogue::kLastSkin; ++n) {
        const PayloadEntry& row = PayloadCatalogue::Row(n);
        std::wstring relative = row.relativePath;
        std::wstring dir = relative.substr(0, relative.rfind(L'\\'));
        if (n > PayloadCatalogue::kFirstSkin && dir != currentDir) {
            ++folder;
            k = 0;
        }
        currentDir = dir;
        ++k;
        ASSERT_LT(folder, folders.size()) << "row " << n;
        const std::string type = "RE_" + folders[folder].first + "_PNG" + std::to_string(k);
        EXPECT_EQ(type, row.resourceType) << "row " << n;
        EXPECT_EQ(folders[folder].second + k - 1, row.resourceId) << "row " << n;
        EXPECT_STREQ("Can not create file PNG!", row.failureMessage) << "row " << n;
        EXPECT_EQ(PayloadGroup::Skin, row.group) << "row " << n;
    }
    EXPECT_EQ(folders.size() - 1, folder);
    const PayloadEntry& icon = PayloadCatalogue::Row(PayloadCatalogue::kLastSkin);
    EXPECT_STREQ("RE_ICO", icon.resourceType);
    EXPECT_EQ(390, icon.resourceId);
    EXPECT_STREQ("Can not create file PNG!", icon.failureMessage);
}

}  // namespace

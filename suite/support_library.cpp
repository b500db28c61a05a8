#include "suite/support_library.h"

#include <cstring>

#include "afx/resource_view.h"

namespace suite {

namespace {

constexpr DWORD kCompareChunk = 16 * 1024;

bool ContentEquals(HANDLE file, const BYTE* expected, DWORD expectedSize) {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size) || size.QuadPart != expectedSize) return false;
    BYTE chunk[kCompareChunk];
    DWORD offset = 0;
    while (offset < expectedSize) {
        DWORD want = expectedSize - offset < kCompareChunk ? expectedSize - offset : kCompareChunk;
        DWORD got = 0;
        if (!::ReadFile(file, chunk, want, &got, nullptr) || got != want) return false;
        if (std::memcmp(chunk, expected + offset, want) != 0) return false;
        offset += want;
    }
    return true;
}

}  // namespace

afx::UniqueHandle OpenIfSameAsResource(const wchar_t* path, HMODULE module, const char* type, WORD id) {
    afx::ResourceView expected;
    if (!afx::FindResourceView(module, type, id, &expected)) return {};

    afx::UniqueHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    if (!ContentEquals(file.get(), expected.data, expected.size)) return {};
    return file;
}

}  // namespace suite

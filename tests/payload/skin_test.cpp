// The skin files of the payload folder (every Skin row of the catalogue): each is the
// kind of image its name says and decodes with the system's codecs; the icon holds its eight
// images in order and loads as an icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "test_env.h"
#include "update/catalogue.h"
#include "wic_image.h"

namespace standins {
namespace {

const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
const unsigned char kIendChunk[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
constexpr int kBmpWidth = 188;
constexpr int kBmpHeight = 29;
constexpr int kIconSizes[] = {256, 16, 32, 128, 96, 64, 48, 32};

std::string Extension(const std::string& source) {
    size_t dot = source.find_last_of('.');
    return dot == std::string::npos ? std::string() : source.substr(dot);
}

unsigned Byte(const std::string& bytes, size_t at) { return static_cast<unsigned char>(bytes[at]); }

unsigned ReadBigEndian32(const std::string& bytes, size_t at) {
    return (Byte(bytes, at) << 24) | (Byte(bytes, at + 1) << 16) | (Byte(bytes, at + 2) << 8) | Byte(bytes, at + 3);
}

template <typename T>
T ReadLittle(const std::string& bytes, size_t at) {
    T value{};
    if (at + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + at, sizeof(T));
    return value;
}

// The size the file's own header declares: PNG IHDR or BMP info header; false if neither.
bool HeaderSize(const std::string& ext, const std::string& bytes, std::pair<UINT, UINT>* size) {
    if (ext == ".png" && bytes.size() >= 24 && std::memcmp(bytes.data() + 12, "IHDR", 4) == 0) {
        *size = {ReadBigEndian32(bytes, 16), ReadBigEndian32(bytes, 20)};
        return true;
    }
    if (ext == ".bmp" && bytes.size() >= 26) {
        const LONG height = ReadLittle<LONG>(bytes, 22);
        *size = {UINT(ReadLittle<LONG>(bytes, 18)), UINT(height < 0 ? -height : height)};
        return true;
    }
    return false;
}

// One Skin row of the catalogue: its number and its file, relative to the payload folder as to
// the install directory.
struct SkinRow {
    int number = 0;
    std::string source;
};

// The Skin rows of the catalogue this build uses, each file once.
std::vector<SkinRow> SkinRows() {
    std::vector<SkinRow> skin;
    std::set<std::string> seen;
    for (int n = 1; n <= PayloadCatalogue::Count(); ++n) {
        const PayloadEntry& row = PayloadCatalogue::Row(n);
        if (row.group != PayloadGroup::Skin) continue;
        const std::string source = testenv::Narrow(row.relativePath + 1);
        if (seen.insert(source).second) skin.push_back({n, source});
    }
    return skin;
}

TEST(Skin, EveryFileIsTheImageItsNameSaysAndDecodes) {
    const std::vector<SkinRow> rows = SkinRows();
    ASSERT_FALSE(rows.empty()) << "no Skin rows in the catalogue";
    for (const SkinRow& row : rows) {
        const std::string name = "row " + std::to_string(row.number) + " " + row.source;
        const std::wstring path = testenv::PayloadFile(row.source);
        std::string bytes;
        if (!testenv::ReadFileBytes(path, &bytes) || bytes.size() < 16) {
            ADD_FAILURE() << name << ": unreadable or shorter than 16 bytes (" << bytes.size() << ")";
            continue;
        }
        const std::string ext = Extension(row.source);
        if (ext == ".png") {
            EXPECT_EQ(std::memcmp(bytes.data(), kPngSignature, 8), 0) << name << ": no PNG signature";
            EXPECT_EQ(std::memcmp(bytes.data() + 12, "IHDR", 4), 0) << name << ": IHDR is not first";
            EXPECT_EQ(std::memcmp(bytes.data() + bytes.size() - 12, kIendChunk, 12), 0)
                << name << ": IEND is not last";
        } else if (ext == ".bmp") {
            EXPECT_EQ(std::memcmp(bytes.data(), "BM", 2), 0) << name << ": no BM header";
        } else if (ext == ".ico") {
            const unsigned char header[4] = {0, 0, 1, 0};
            EXPECT_EQ(std::memcmp(bytes.data(), header, 4), 0) << name << ": no ICO header";
        } else {
            ADD_FAILURE() << name << ": a skin file of unknown kind";
            continue;
        }

        DecodedImage image;
        std::string error;
        if (!DecodeImageFile(path, &image, &error) || image.frameSizes.empty()) {
            ADD_FAILURE() << name << ": does not decode: " << (error.empty() ? "no frame" : error);
            continue;
        }
        std::pair<UINT, UINT> declared;
        if (HeaderSize(ext, bytes, &declared)) {
            EXPECT_EQ(image.frameSizes[0], declared)
                << name << ": decoded " << image.frameSizes[0].first << "x" << image.frameSizes[0].second;
        }
    }
}

TEST(Skin, DropDownBitmapsAre188By29At24Bits) {
    const char* const sources[] = {
        "resource/combobox_regular/Drop-down-menu-blackbox_1.bmp",
        "resource/combobox_regular/Drop-down-menu-choosingbox.bmp",
    };
    const size_t stride = (kBmpWidth * 3 + 3) & ~size_t(3);
    for (const char* source : sources) {
        std::string bytes;
        ASSERT_TRUE(testenv::ReadFileBytes(testenv::PayloadFile(source), &bytes)) << source;
        ASSERT_GE(bytes.size(), 54u) << source;
        const DWORD offset = ReadLittle<DWORD>(bytes, 10);
        EXPECT_EQ(ReadLittle<DWORD>(bytes, 2), bytes.size()) << source << ": bfSize";
        EXPECT_EQ(ReadLittle<LONG>(bytes, 18), kBmpWidth) << source << ": width";
        EXPECT_EQ(ReadLittle<LONG>(bytes, 22), kBmpHeight) << source << ": height";
        EXPECT_EQ(ReadLittle<WORD>(bytes, 28), 24) << source << ": bits per pixel";
        EXPECT_GE(bytes.size(), offset + stride * kBmpHeight) << source << ": pixel rows missing";
    }
}

TEST(Skin, IconHoldsItsEightImagesInOrder) {
    const std::wstring path = testenv::PayloadFile("resource/Pelmora_01.ico");
    std::string bytes;
    ASSERT_TRUE(testenv::ReadFileBytes(path, &bytes));
    ASSERT_GE(bytes.size(), 6u);
    const WORD count = ReadLittle<WORD>(bytes, 4);
    ASSERT_EQ(count, std::size(kIconSizes));
    ASSERT_GE(bytes.size(), 6u + 16u * count);

    DecodedImage image;
    std::string error;
    ASSERT_TRUE(DecodeImageFile(path, &image, &error)) << error;
    ASSERT_EQ(image.frameSizes.size(), std::size(kIconSizes));
    for (size_t i = 0; i < std::size(kIconSizes); ++i) {
        const int want = kIconSizes[i];
        const size_t entry = 6 + 16 * i;
        const int width = Byte(bytes, entry) == 0 ? 256 : int(Byte(bytes, entry));
        const int height = Byte(bytes, entry + 1) == 0 ? 256 : int(Byte(bytes, entry + 1));
        EXPECT_EQ(width, want) << "image " << i << ": directory width";
        EXPECT_EQ(height, want) << "image " << i << ": directory height";
        EXPECT_EQ(ReadLittle<WORD>(bytes, entry + 6), 32) << "image " << i << ": bits per pixel";
        EXPECT_EQ(image.frameSizes[i], std::make_pair(UINT(want), UINT(want)))
            << "image " << i << ": decoded " << image.frameSizes[i].first << "x" << image.frameSizes[i].second;
    }
}

TEST(Skin, IconLoadsAtEachOfItsSizes) {
    const std::wstring path = testenv::PayloadFile("resource/Pelmora_01.ico");
    for (int size : {16, 32, 48, 64, 96, 128, 256}) {
        HICON icon = static_cast<HICON>(::LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
        ASSERT_NE(icon, nullptr) << size << " px: LoadImage error " << ::GetLastError();
        ICONINFO info{};
        BITMAP colour{};
        const bool read = ::GetIconInfo(icon, &info) != FALSE;
        if (read && info.hbmColor != nullptr) ::GetObjectW(info.hbmColor, sizeof colour, &colour);
        if (info.hbmColor != nullptr) ::DeleteObject(info.hbmColor);
        if (info.hbmMask != nullptr) ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
        ASSERT_TRUE(read) << size << " px: GetIconInfo failed";
        EXPECT_EQ(colour.bmWidth, size) << size << " px: colour bitmap width";
        EXPECT_EQ(colour.bmHeight, size) << size << " px: colour bitmap height";
    }
}

}  // namespace
}  // namespace standins

// Decoding an image file with the system's image codecs (WIC), as an image viewer does.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace standins {

struct DecodedImage {
    std::wstring container;                        // "PNG", "BMP", "ICO", ... (the codec's name)
    std::vector<std::pair<UINT, UINT>> frameSizes;  // width, height of each frame in file order
};

// Decodes every frame of `path` to 32-bit BGRA pixels. False with the failing step and its
// HRESULT in `error` when the file cannot be opened or decoded.
bool DecodeImageFile(const std::wstring& path, DecodedImage* image, std::string* error);

}  // namespace standins

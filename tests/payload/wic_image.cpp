#include "wic_image.h"

#include <wincodec.h>

#include <cstdio>

namespace standins {

namespace {

// Owns one COM interface pointer.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (m_p != nullptr) m_p->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return m_p; }
    T* get() const { return m_p; }
    T** put() { return &m_p; }

private:
    T* m_p = nullptr;
};

// COM for the calling thread for the scope's life, whatever mode the thread already has.
class ComScope {
public:
    ComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_hr)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_hr;
};

bool Failed(HRESULT hr, const char* step, std::string* error) {
    if (SUCCEEDED(hr)) return false;
    char text[96];
    std::snprintf(text, sizeof text, "%s failed, HRESULT 0x%08lX", step, static_cast<unsigned long>(hr));
    *error = text;
    return true;
}

}  // namespace

bool DecodeImageFile(const std::wstring& path, DecodedImage* image, std::string* error) {
    *image = DecodedImage();
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    if (Failed(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put())),
               "creating the WIC factory", error))
        return false;
    ComRef<IWICBitmapDecoder> decoder;
    if (Failed(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.put()),
               "opening a decoder", error))
        return false;
    ComRef<IWICBitmapDecoderInfo> info;
    if (SUCCEEDED(decoder->GetDecoderInfo(info.put()))) {
        wchar_t name[64] = L"";
        UINT length = 0;
        info->GetFriendlyName(64, name, &length);
        image->container = name;
    }
    UINT frames = 0;
    if (Failed(decoder->GetFrameCount(&frames), "counting frames", error)) return false;
    for (UINT i = 0; i < frames; ++i) {
        ComRef<IWICBitmapFrameDecode> frame;
        UINT width = 0, height = 0;
        if (Failed(decoder->GetFrame(i, frame.put()), "getting a frame", error) ||
            Failed(frame->GetSize(&width, &height), "reading a frame's size", error))
            return false;
        ComRef<IWICFormatConverter> converter;
        if (Failed(factory->CreateFormatConverter(converter.put()), "creating a converter", error) ||
            Failed(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                         nullptr, 0.0, WICBitmapPaletteTypeCustom),
                   "converting to BGRA", error))
            return false;
        std::vector<BYTE> pixels(static_cast<size_t>(width) * height * 4);
        if (Failed(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data()),
                   "decoding the pixels", error))
            return false;
        image->frameSizes.emplace_back(width, height);
    }
    return true;
}

}  // namespace standins

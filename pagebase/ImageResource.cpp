#include "pagebase/ImageResource.h"

#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>
#include <wincodec.h>

#include <climits>
#include <map>
#include <utility>

#include "win32/ComPtr.h"

namespace {

constexpr UINT kMaxImageSide = 4096;

}  // namespace

std::shared_ptr<Gdiplus::Bitmap> LoadImageResource(HMODULE module, int id, const wchar_t* typeName) {
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), typeName);
    if (!info)
        return {};
    const DWORD size = SizeofResource(module, info);
    HGLOBAL loaded = LoadResource(module, info);  // resource memory: nothing to free
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return DecodeImage(static_cast<const unsigned char*>(bytes), size);
}

std::shared_ptr<Gdiplus::Bitmap> DecodeImage(const unsigned char* bytes, size_t size) {
    if (!bytes || size == 0 || size > UINT_MAX)
        return {};
    // Image workers have no COM of their own; on a thread that has it this only counts one more user.
    CoInitializeScope com(COINIT_MULTITHREADED);
    if (FAILED(com.Result()) && com.Result() != RPC_E_CHANGED_MODE)
        return {};
    // WIC itself, not GDI+ reading a stream: GDI+ decodes through WIC and then converts a second time,
    // at twice the cost.
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IStream> stream;
    stream.reset(SHCreateMemStream(bytes, static_cast<UINT>(size)));
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (!stream ||
        FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.put_void())) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) || FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)))
        return {};
    // A few bytes from the network may claim any size: nothing larger than a screenful is drawn.
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide)
        return {};
    // Premultiplied pixels are what GDI+ draws fastest; the window thread then only draws.
    auto decoded = std::make_shared<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                     PixelFormat32bppPARGB);
    Gdiplus::Rect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData target{};
    if (decoded->GetLastStatus() != Gdiplus::Ok ||
        decoded->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &target) != Gdiplus::Ok)
        return {};
    const UINT stride = static_cast<UINT>(target.Stride);
    const bool copied = SUCCEEDED(
        converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(target.Scan0)));
    decoded->UnlockBits(&target);
    if (!copied)
        return {};
    return decoded;
}

std::shared_ptr<Gdiplus::Bitmap> SharedImageResource(int id, const wchar_t* typeName) {
    static std::map<std::pair<int, std::wstring>, std::weak_ptr<Gdiplus::Bitmap>> decoded;
    std::weak_ptr<Gdiplus::Bitmap>& slot = decoded[{id, typeName}];
    std::shared_ptr<Gdiplus::Bitmap> bitmap = slot.lock();
    if (!bitmap) {
        bitmap = LoadImageResource(GetModuleHandleW(nullptr), id, typeName);
        slot = bitmap;
    }
    return bitmap;
}

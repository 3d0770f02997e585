#include "pagebase/ImageResource.h"

#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include <cstring>
#include <map>
#include <utility>

#include "win32/Handle.h"
#include "win32/Narrow.h"

namespace {

struct ComRelease {
    void operator()(IUnknown* object) const noexcept { object->Release(); }
};

}  // namespace

std::shared_ptr<Gdiplus::Bitmap> LoadImageResource(HMODULE module, int id, const wchar_t* typeName) {
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), typeName);
    if (!info)
        return {};
    const DWORD size = SizeofResource(module, info);
    if (size == 0)
        return {};
    HGLOBAL loaded = LoadResource(module, info);  // resource memory: nothing to free
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return {};

    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!memory)
        return {};
    void* target = GlobalLock(memory.get());
    if (!target)
        return {};
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory.get());

    IStream* rawStream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, &rawStream)))
        return {};
    (void)memory.release();  // the stream frees the memory from here on
    std::unique_ptr<IStream, ComRelease> stream(rawStream);

    // The bitmap keeps its own reference to the stream for as long as it lives.
    auto bitmap = std::make_shared<Gdiplus::Bitmap>(stream.get());
    if (bitmap->GetLastStatus() != Gdiplus::Ok)
        return {};
    return bitmap;
}

std::shared_ptr<Gdiplus::Bitmap> DecodeImage(const unsigned char* bytes, size_t size) {
    if (!bytes || size == 0)
        return {};
    std::unique_ptr<IStream, ComRelease> stream(SHCreateMemStream(bytes, CheckedNarrow<UINT>(size)));
    if (!stream)
        return {};
    auto source = std::make_shared<Gdiplus::Bitmap>(stream.get());
    if (source->GetLastStatus() != Gdiplus::Ok)
        return {};
    const UINT width = source->GetWidth(), height = source->GetHeight();
    if (width == 0 || height == 0)
        return {};
    // GDI+ may decode a stream only when it is first drawn, and draws premultiplied pixels fastest:
    // convert the picture into such a bitmap here, not on the window thread at its first paint. Reading
    // the source's pixels straight into the new bitmap's converts them without drawing, at a third of
    // the cost.
    auto decoded = std::make_shared<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                     PixelFormat32bppPARGB);
    if (decoded->GetLastStatus() != Gdiplus::Ok)
        return source;
    Gdiplus::Rect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData target{};
    if (decoded->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &target) != Gdiplus::Ok)
        return source;
    Gdiplus::BitmapData read = target;
    const bool copied = source->LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                         PixelFormat32bppPARGB, &read) == Gdiplus::Ok;
    if (copied)
        source->UnlockBits(&read);
    decoded->UnlockBits(&target);
    if (!copied)
        return source;
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

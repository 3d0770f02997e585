// Pictures decoded into GDI+ bitmaps: PNG resources of a module, and bytes downloaded by a worker.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

namespace Gdiplus {
class Bitmap;
}

// The picture stored as resource `id` of type `typeName` in `module`; empty when it is missing or
// cannot be decoded. GDI+ must be running.
std::shared_ptr<Gdiplus::Bitmap> LoadImageResource(HMODULE module, int id, const wchar_t* typeName);

// The picture in `bytes` (any format the Windows Imaging Component reads), fully decoded into a 32-bit
// premultiplied bitmap that owns its pixels: meant for a worker thread, so that the window thread only
// draws it. Empty when the bytes are no picture or claim a side longer than 4096 pixels. GDI+ must be
// running.
std::shared_ptr<Gdiplus::Bitmap> DecodeImage(const unsigned char* bytes, size_t size);

// The same picture from the program's own resources, decoded once for as long as anything holds it:
// controls that show one picture share one bitmap. Window thread only.
std::shared_ptr<Gdiplus::Bitmap> SharedImageResource(int id, const wchar_t* typeName);

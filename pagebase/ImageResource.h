// PNG pictures compiled into a module, decoded into GDI+ bitmaps.
#pragma once
#include <windows.h>

#include <memory>

namespace Gdiplus {
class Bitmap;
}

// The picture stored as resource `id` of type `typeName` in `module`; empty when it is missing or
// cannot be decoded. GDI+ must be running.
std::shared_ptr<Gdiplus::Bitmap> LoadImageResource(HMODULE module, int id, const wchar_t* typeName);

#include "app/ui/StaticFromImage.h"

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include "app/ui/ImageResource.h"

namespace {
constexpr UINT_PTR kSubclassId = 1;
}

CStaticFromImage::~CStaticFromImage() { Detach(); }

bool CStaticFromImage::Attach(HWND control) {
    Detach();
    if (!control || !SetWindowSubclass(control, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    hwnd_ = control;
    return true;
}

void CStaticFromImage::Detach() {
    if (hwnd_ && IsWindow(hwnd_))
        RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
    hwnd_ = nullptr;
}

void CStaticFromImage::SetImage(std::shared_ptr<Gdiplus::Image> image) {
    image_ = std::move(image);
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, TRUE);
}

void CStaticFromImage::LoadImage(int resourceId, const wchar_t* typeName) {
    SetImage(LoadImageResource(GetModuleHandleW(nullptr), resourceId, typeName));
}

void CStaticFromImage::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd_, &paint);
    if (image_) {
        RECT client;
        GetClientRect(hwnd_, &client);
        Gdiplus::Graphics graphics(dc);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.DrawImage(image_.get(), 0, 0, client.right - client.left, client.bottom - client.top);
    }
    EndPaint(hwnd_, &paint);
}

LRESULT CALLBACK CStaticFromImage::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                DWORD_PTR data) {
    auto* self = reinterpret_cast<CStaticFromImage*>(data);
    switch (message) {
    case WM_PAINT:
        self->OnPaint();
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        self->hwnd_ = nullptr;
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

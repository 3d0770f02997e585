#include "pagebase/StaticFromImage.h"

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include "pagebase/ImageResource.h"
#include "win32/Subclass.h"

CStaticFromImage::~CStaticFromImage() { Detach(); }

bool CStaticFromImage::Attach(HWND control) {
    hwnd_ = MoveSubclass(hwnd_, control, SubclassProc, this);
    return hwnd_ != nullptr;
}

void CStaticFromImage::Detach() { EndSubclass(hwnd_, SubclassProc); }

void CStaticFromImage::SetImage(std::shared_ptr<Gdiplus::Image> image) {
    pending_ = false;
    image_ = std::move(image);
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, TRUE);
}

void CStaticFromImage::LoadImage(int resourceId, const wchar_t* typeName) {
    SetImage(nullptr);
    pending_ = true;
    pendingId_ = resourceId;
    pendingType_ = typeName;
}

const std::shared_ptr<Gdiplus::Image>& CStaticFromImage::GetImage() {
    DecodePending();
    return image_;
}

void CStaticFromImage::DecodePending() {
    if (!pending_)
        return;
    pending_ = false;
    image_ = SharedImageResource(pendingId_, pendingType_.c_str());
}

void CStaticFromImage::OnPaint() {
    PAINTSTRUCT paint;
    DecodePending();
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
        EndSubclass(self->hwnd_, SubclassProc);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

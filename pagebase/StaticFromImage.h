// A picture control: paints a shared GDI+ image scaled to its whole client area.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

namespace Gdiplus {
class Image;
}

class CStaticFromImage {
public:
    CStaticFromImage() = default;
    ~CStaticFromImage();
    CStaticFromImage(const CStaticFromImage&) = delete;
    CStaticFromImage& operator=(const CStaticFromImage&) = delete;

    // Takes over the painting of an existing static control.
    bool Attach(HWND control);
    HWND GetHwnd() const { return hwnd_; }

    // Stores the image (releasing the previous one) and repaints the control.
    void SetImage(std::shared_ptr<Gdiplus::Image> image);
    // Shows a picture from the program's own resources, decoded when the control first paints (a page
    // that never shows decodes nothing); a missing or broken one leaves the control empty.
    void LoadImage(int resourceId, const wchar_t* typeName);
    // The image shown, decoding a picture still waiting for the first paint.
    const std::shared_ptr<Gdiplus::Image>& GetImage();

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    void Detach();
    void OnPaint();

    void DecodePending();

    HWND hwnd_ = nullptr;
    std::shared_ptr<Gdiplus::Image> image_;
    bool pending_ = false;  // a resource picture not yet decoded
    int pendingId_ = 0;
    std::wstring pendingType_;
};

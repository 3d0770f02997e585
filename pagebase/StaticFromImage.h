// A picture control: paints a shared GDI+ image scaled to its whole client area.
#pragma once
#include <windows.h>

#include <memory>

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
    // Loads a picture from the program's own resources; a missing or broken one leaves the control empty.
    void LoadImage(int resourceId, const wchar_t* typeName);
    const std::shared_ptr<Gdiplus::Image>& GetImage() const { return image_; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    void Detach();
    void OnPaint();

    HWND hwnd_ = nullptr;
    std::shared_ptr<Gdiplus::Image> image_;
};

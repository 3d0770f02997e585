#include "pagebase/PageSupport.h"

UniqueFont SetHeavyTitleFont(HWND control) {
    auto current = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!current)
        current = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW description{};
    if (!control || GetObjectW(current, sizeof description, &description) != sizeof description)
        return {};
    // 12 pixels at 96 DPI, as large beside the dialog font at any other DPI.
    int dpi = 96;
    if (HDC dc = GetDC(control)) {
        dpi = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(control, dc);
    }
    description.lfHeight = MulDiv(12, dpi, 96);
    description.lfWeight = 1000;
    UniqueFont font(CreateFontIndirectW(&description));
    if (font)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    return font;
}

void ReportHandlerFailure(const wchar_t* page, const char* what) noexcept {
    try {
        std::wstring line = std::wstring(page) + L": message handler failed: ";
        for (const char* c = what; c && *c; ++c)
            line += static_cast<wchar_t>(static_cast<unsigned char>(*c));
        line += L"\n";
        OutputDebugStringW(line.c_str());
    } catch (...) {
        OutputDebugStringW(L"message handler failed\n");
    }
}

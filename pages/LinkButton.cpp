#include "pages/LinkButton.h"

#include <commctrl.h>

#include <cwctype>

#include "win32/Dialog.h"
#include "win32/Subclass.h"
#include "win32/UserLaunch.h"

namespace {

constexpr COLORREF kLinkColor = RGB(0, 102, 204);
// Room around the text for the focus rectangle.
constexpr int kPadding = 2;
constexpr UINT kTextFormat = DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX;

UrlOpener& CurrentOpener() {
    static UrlOpener opener;
    return opener;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    for (size_t i = 0; prefix[i]; ++i)
        if (i >= text.size() || std::towlower(text[i]) != prefix[i])
            return false;
    return true;
}

}  // namespace

bool IsWebUrl(const std::wstring& url) {
    for (const wchar_t* scheme : {L"http://", L"https://"})
        if (StartsWithNoCase(url, scheme) && url.size() > wcslen(scheme))
            return true;
    return false;
}

bool OpenUrl(HWND owner, const std::wstring& url) {
    if (!IsWebUrl(url))
        return false;
    if (const UrlOpener& opener = CurrentOpener())
        return opener(owner, url);
    return LaunchAsUser({url, L"", SW_SHOWNORMAL, owner}) != LaunchRoute::NotStarted;
}

void SetUrlOpener(UrlOpener opener) { CurrentOpener() = std::move(opener); }

LinkButton::~LinkButton() { Detach(); }

bool LinkButton::Attach(HWND button) {
    hwnd_ = MoveSubclass(hwnd_, button, SubclassProc, this);
    if (!hwnd_)
        return false;
    InvalidateRect(hwnd_, nullptr, TRUE);
    return true;
}

void LinkButton::Detach() { EndSubclass(hwnd_, SubclassProc); }

bool LinkButton::HandleCommand(HWND control, int notifyCode) {
    if (!hwnd_ || control != hwnd_ || notifyCode != BN_CLICKED)
        return false;
    OpenUrl(GetParent(hwnd_), url_);
    return true;
}

HFONT LinkButton::LinkFont() {
    auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    if (!font)
        font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (!linkFont_ || font != baseFont_) {
        LOGFONTW description{};
        if (GetObjectW(font, sizeof description, &description) != sizeof description)
            return font;
        description.lfUnderline = TRUE;
        linkFont_.reset(CreateFontIndirectW(&description));
        baseFont_ = font;
    }
    return linkFont_ ? linkFont_.get() : font;
}

SIZE LinkButton::TextSize() {
    const std::wstring text = WindowTextOf(hwnd_);

    SIZE size{};
    if (HDC dc = GetDC(hwnd_)) {
        HGDIOBJ previous = SelectObject(dc, LinkFont());
        RECT bounds{};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, kTextFormat | DT_CALCRECT);
        SelectObject(dc, previous);
        ReleaseDC(hwnd_, dc);
        size = {bounds.right - bounds.left, bounds.bottom - bounds.top};
    }
    return size;
}

void LinkButton::SizeToText() {
    if (!hwnd_)
        return;
    const SIZE text = TextSize();
    SetWindowPos(hwnd_, nullptr, 0, 0, text.cx + 2 * kPadding, text.cy + 2 * kPadding,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void LinkButton::OnPaint() {
    const std::wstring text = WindowTextOf(hwnd_);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd_, &paint);
    RECT client;
    GetClientRect(hwnd_, &client);

    // The parent chooses the background, as it does for its static texts.
    auto background = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(hwnd_), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd_)));
    FillRect(dc, &client, background ? background : GetSysColorBrush(COLOR_BTNFACE));

    HGDIOBJ previous = SelectObject(dc, LinkFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(hwnd_) ? kLinkColor : GetSysColor(COLOR_GRAYTEXT));
    RECT textRect = client;
    InflateRect(&textRect, -kPadding, -kPadding);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, kTextFormat);
    SelectObject(dc, previous);

    const bool focusHidden = (SendMessageW(hwnd_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
    if (GetFocus() == hwnd_ && !focusHidden)
        DrawFocusRect(dc, &client);
    EndPaint(hwnd_, &paint);
}

LRESULT CALLBACK LinkButton::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR data) {
    auto* self = reinterpret_cast<LinkButton*>(data);
    try {
        switch (message) {
        case WM_PAINT:
            self->OnPaint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT fills the whole control
        case WM_SETCURSOR:
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
        case WM_SETTEXT:
        case WM_UPDATEUISTATE:
        case BM_SETSTATE: {
            // The button would ask its parent to draw these changes; the control draws itself instead.
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            InvalidateRect(hwnd, nullptr, TRUE);
            return result;
        }
        case WM_NCDESTROY:
            EndSubclass(self->hwnd_, SubclassProc);
            break;
        default:
            break;
        }
    } catch (...) {
        // Nothing may unwind into the window manager; the control simply stays as it was drawn.
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

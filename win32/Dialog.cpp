#include "win32/Dialog.h"

#include <exception>

Dialog::~Dialog() {
    // A child page still on screen must not call back into a destroyed object.
    if (hwnd_ && !modal_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        DestroyWindow(hwnd_);
    }
}

INT_PTR Dialog::DoModal(HWND parent) {
    modal_ = true;
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

bool Dialog::Create(HWND parent) {
    modal_ = false;
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::EndDialog(INT_PTR result) {
    if (modal_)
        ::EndDialog(hwnd_, result);
    else
        DestroyWindow(hwnd_);
}

void Dialog::SetBackgroundColor(COLORREF color, bool repaint) {
    backgroundBrush_.reset(CreateSolidBrush(color));
    if (repaint && hwnd_)
        InvalidateRect(hwnd_, nullptr, TRUE);
}

void Dialog::OnCommand(int id, int, HWND) {
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
}

LRESULT Dialog::OnNotify(NMHDR*) { return 0; }

HBRUSH Dialog::OnCtlColor(HDC dc, HWND, UINT kind) {
    if (backgroundBrush_ && (kind == WM_CTLCOLORDLG || kind == WM_CTLCOLORSTATIC)) {
        if (kind == WM_CTLCOLORSTATIC)
            SetBkMode(dc, TRANSPARENT);
        return backgroundBrush_.get();
    }
    return nullptr;
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_NOTIFY:
        SetMessageResult(OnNotify(reinterpret_cast<NMHDR*>(lParam)));
        return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<INT_PTR>(
            OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message));
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_CLOSE:
        OnClose();
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self)
        return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT) and after the object is gone
    INT_PTR result = FALSE;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& error) {
        // Engines catch their own errors; one that still gets here must not unwind through user32.
        OutputDebugStringA(error.what());
        OutputDebugStringA("\n");
    } catch (...) {
        OutputDebugStringA("unexpected exception in a window handler\n");
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

std::wstring WindowTextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

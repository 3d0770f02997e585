// A thin dialog layer: modal and child dialogs from templates, one virtual handler per message kind.
#pragma once
#include <windows.h>

#include <string>

#include "win32/Handle.h"

class Dialog {
public:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    INT_PTR DoModal(HWND parent);
    // Creates a modeless dialog (a page) as a child of `parent`.
    bool Create(HWND parent);
    void EndDialog(INT_PTR result);

    HWND GetHwnd() const { return hwnd_; }
    HWND GetItem(int id) const { return GetDlgItem(hwnd_, id); }
    // Solid background for the dialog and its static controls.
    void SetBackgroundColor(COLORREF color, bool repaint = true);

protected:
    // Default processing for everything a handler does not claim.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    virtual BOOL OnInitDialog() { return TRUE; }
    // Commands from controls and menus; the defaults of IDOK and IDCANCEL end the dialog.
    virtual void OnCommand(int id, int notifyCode, HWND control);
    virtual LRESULT OnNotify(NMHDR* header);
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind);
    virtual void OnTimer(UINT_PTR) {}
    virtual void OnClose() { EndDialog(IDCANCEL); }
    virtual void OnDestroy() {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // Sets the message result for handlers that must return one through DWLP_MSGRESULT.
    void SetMessageResult(LRESULT result) { SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result); }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    UniqueBrush backgroundBrush_;
};

// The window's text, whatever its length.
std::wstring WindowTextOf(HWND window);

#include "pagebase/LinkTabStops.h"

#include <commctrl.h>

#include "win32/Subclass.h"

namespace {

bool ShiftHeld() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }

int LinkCount(HWND control) {
    int count = 0;
    for (;; ++count) {
        LITEM item{};
        item.mask = LIF_ITEMINDEX;
        item.iLink = count;
        if (!SendMessageW(control, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)))
            return count;
    }
}

int FocusedLink(HWND control, int count) {
    for (int i = 0; i < count; ++i) {
        LITEM item{};
        item.mask = LIF_ITEMINDEX | LIF_STATE;
        item.iLink = i;
        item.stateMask = LIS_FOCUSED;
        if (SendMessageW(control, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)) && (item.state & LIS_FOCUSED))
            return i;
    }
    return -1;
}

void FocusLink(HWND control, int count, int focused) {
    for (int i = 0; i < count; ++i) {
        LITEM item{};
        item.mask = LIF_ITEMINDEX | LIF_STATE;
        item.iLink = i;
        item.stateMask = LIS_FOCUSED;
        item.state = i == focused ? LIS_FOCUSED : 0;
        SendMessageW(control, LM_SETITEM, 0, reinterpret_cast<LPARAM>(&item));
    }
    InvalidateRect(control, nullptr, TRUE);
}

// Moves the focus to the next link (the previous one with Shift); false when there is none left, so
// that the dialog moves the focus on.
bool StepLink(HWND control, bool backwards) {
    const int count = LinkCount(control);
    const int next = FocusedLink(control, count) + (backwards ? -1 : 1);
    if (count == 0 || next < 0 || next >= count)
        return false;
    FocusLink(control, count, next);
    return true;
}

}  // namespace

LinkTabStops::~LinkTabStops() { EndSubclass(hwnd_, SubclassProc); }

bool LinkTabStops::Attach(HWND linkControl) {
    hwnd_ = MoveSubclass(hwnd_, linkControl, SubclassProc, this);
    return hwnd_ != nullptr;
}

LRESULT CALLBACK LinkTabStops::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
    auto* self = reinterpret_cast<LinkTabStops*>(data);
    const auto* key = reinterpret_cast<const MSG*>(lParam);
    switch (message) {
    case WM_GETDLGCODE:
        // The dialog manager asks once per Tab pressed; the answer moves the link focus or lets it go.
        if (key && key->wParam == VK_TAB && (key->message == WM_KEYDOWN || key->message == WM_CHAR)) {
            const LRESULT code = DLGC_HASSETSEL;
            if (key->message == WM_KEYDOWN && StepLink(hwnd, ShiftHeld()))
                return code | DLGC_WANTTAB;
            return code;
        }
        break;
    case WM_KEYDOWN:
    case WM_CHAR:
        if (wParam == VK_TAB)
            return 0;  // the step was taken when the dialog manager asked
        break;
    case WM_SETFOCUS: {
        // Arriving by Tab starts at the first link, by Shift+Tab at the last.
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        const int count = LinkCount(hwnd);
        if (count > 0)
            FocusLink(hwnd, count, ShiftHeld() ? count - 1 : 0);
        return result;
    }
    case WM_NCDESTROY:
        EndSubclass(self->hwnd_, SubclassProc);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// Tab through the links of a link control: each link is a stop of its own, and Tab past the last one
// (Shift+Tab before the first) leaves the control. Done here rather than by the control, whose own
// handling under Wine takes every Tab once it holds two links, so the keyboard could never leave it.
#pragma once
#include <windows.h>

class LinkTabStops {
public:
    LinkTabStops() = default;
    ~LinkTabStops();
    LinkTabStops(const LinkTabStops&) = delete;
    LinkTabStops& operator=(const LinkTabStops&) = delete;

    bool Attach(HWND linkControl);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    HWND hwnd_ = nullptr;
};

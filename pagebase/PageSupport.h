// Small pieces shared by the content pages.
#pragma once
#include <windows.h>

#include <exception>
#include <string>

#include "win32/Handle.h"

// Gives `control` a copy of its current font 12 pixels high at 96 DPI (scaled with the DPI), with weight
// 1000 (heavier than bold), and returns it; the page keeps the font for as long as the control exists.
UniqueFont SetHeavyTitleFont(HWND control);

// Writes a failure of a page's message handler to the debugger output.
void ReportHandlerFailure(const wchar_t* page, const char* what) noexcept;

// Runs the work of a message handler so that no exception unwinds into the window procedure.
template <typename Work>
void RunGuarded(const wchar_t* page, Work&& work) noexcept {
    try {
        work();
    } catch (const std::exception& error) {
        ReportHandlerFailure(page, error.what());
    } catch (...) {
        ReportHandlerFailure(page, "unknown error");
    }
}

// A control subclassed by one owning object: Attach moves the subclass to another control, Detach and
// the control's WM_NCDESTROY end it.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Subclasses `control` with `proc` for `owner` after ending the subclass of `current`; returns the
// control now held, or nullptr when there is none.
HWND MoveSubclass(HWND current, HWND control, SUBCLASSPROC proc, void* owner);
// Ends the subclass of `current`, if any, and clears it.
void EndSubclass(HWND& current, SUBCLASSPROC proc);

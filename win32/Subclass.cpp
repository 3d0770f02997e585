#include "win32/Subclass.h"

namespace {
constexpr UINT_PTR kSubclassId = 1;
}

HWND MoveSubclass(HWND current, HWND control, SUBCLASSPROC proc, void* owner) {
    EndSubclass(current, proc);
    if (!control || !SetWindowSubclass(control, proc, kSubclassId, reinterpret_cast<DWORD_PTR>(owner)))
        return nullptr;
    return control;
}

void EndSubclass(HWND& current, SUBCLASSPROC proc) {
    if (current && IsWindow(current))
        RemoveWindowSubclass(current, proc, kSubclassId);
    current = nullptr;
}

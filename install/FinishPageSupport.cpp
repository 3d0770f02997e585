#include "install/FinishPageSupport.h"

#include "win32/UserLaunch.h"

namespace {
ShellOpener& Opener() {
    static ShellOpener opener;
    return opener;
}
}  // namespace

void ShellOpen(const std::wstring& file, const std::wstring& parameters) {
    if (Opener()) {
        Opener()(file, parameters);
        return;
    }
    LaunchAsUser({file, parameters, SW_SHOWDEFAULT, nullptr});
}

void SetShellOpener(ShellOpener opener) { Opener() = std::move(opener); }

void RemoveParentMinimizeBox(HWND page) {
    HWND wizard = GetParent(page);
    if (!wizard)
        return;
    SetWindowLongW(wizard, GWL_STYLE, GetWindowLongW(wizard, GWL_STYLE) & ~WS_MINIMIZEBOX);
    SetWindowPos(wizard, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

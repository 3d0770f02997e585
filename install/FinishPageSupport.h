// What both finish pages do beyond their controls: start a program as the signed-in user and take the
// minimise box off the wizard window.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

// LaunchAsUser with no owner and SW_SHOWDEFAULT: through the desktop shell, unelevated, where it can be
// asked. The outcome is not examined: the wizard ends normally whatever happens.
void ShellOpen(const std::wstring& file, const std::wstring& parameters);

// Tests replace what ShellOpen hands the program to; an empty function restores the shell.
using ShellOpener = std::function<void(const std::wstring& file, const std::wstring& parameters)>;
void SetShellOpener(ShellOpener opener);

// Removes the minimise box of the page's parent (the wizard window) and redraws its frame.
void RemoveParentMinimizeBox(HWND page);

// Starting a program, a document or a web address as the signed-in user. The wizard runs elevated;
// what it starts for the user should not. The desktop shell runs unelevated in the signed-in user's
// context, and its automation object can be asked to start something there.
#pragma once
#include <windows.h>

#include <string>

struct LaunchRequest {
    std::wstring file;        // a program, a document or an address
    std::wstring parameters;  // empty for none
    int show = SW_SHOWNORMAL;
    HWND owner = nullptr;  // owns what ShellExecuteW may show when it starts the request here
};

enum class LaunchRoute { DesktopShell, ThisProcess, NotStarted };

// Hands the request (verb "open") to the desktop shell's ShellExecute: the desktop's shell view, its
// background's automation object, its application. S_OK once the shell took it; anything else at the
// step that found no desktop shell to ask (none running, another shell, no COM on this thread) or when
// the shell could not start it.
HRESULT ExecuteInDesktopShell(const LaunchRequest& request);

using DesktopShellExecutor = HRESULT (*)(const LaunchRequest& request);

// Starts the request through the desktop shell; where that gives anything but S_OK, with ShellExecuteW
// from this process (elevated like the wizard). Which route started it.
LaunchRoute LaunchAsUser(const LaunchRequest& request, DesktopShellExecutor desktopShell = ExecuteInDesktopShell);

// Drives the real wizard from outside: starts it, finds its windows, reads their texts, presses buttons.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "win32/Handle.h"

namespace testing_support {

// A path from the test's environment (a Unix path when ctest passes one) as Windows sees it.
std::wstring WindowsPathFromEnv(const char* variable);

class WizardProcess {
public:
    WizardProcess() = default;
    ~WizardProcess();  // a wizard still running when a test ends is stopped
    WizardProcess(WizardProcess&&) = default;
    WizardProcess& operator=(WizardProcess&&) = default;

    bool Start(const std::wstring& exe, const std::wstring& arguments = L"");
    // Starts it with TMP and TEMP at `temp`, so that the private folder a wizard makes is the only one
    // there, not mixed with other test programs' (see TempFolderForChildren).
    bool StartWithTempFolder(const std::wstring& exe, const std::wstring& temp);
    DWORD Id() const { return id_; }
    bool IsRunning() const;
    // True when the process ended within the time; its exit code goes to `code`.
    bool WaitForExit(DWORD milliseconds, DWORD* code = nullptr) const;
    // When the process ended, in seconds since 1970 as the backend's log counts them; 0 while it runs.
    double ExitTime() const;
    void Terminate();

private:
    UniqueKernelHandle process_;
    DWORD id_ = 0;
};

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
// Visible top-level windows of a process.
std::vector<HWND> VisibleWindows(DWORD processId);
// Polls until a visible top-level window of the process satisfies `match`; null on time-out.
HWND WaitForWindow(DWORD processId, const std::function<bool(HWND)>& match, DWORD milliseconds = 15000);
HWND WaitForWindowTitled(DWORD processId, const std::wstring& title, DWORD milliseconds = 15000);
// The message of a message box (its longest static text).
std::wstring MessageBoxText(HWND box);
// Presses a button of a dialog as a user would (the command its click sends).
void ClickButton(HWND dialog, int id);

}  // namespace testing_support

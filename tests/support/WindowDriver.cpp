#include "tests/support/WindowDriver.h"

#include <cstdlib>

#include "tests/support/PrivateFolders.h"

namespace testing_support {

std::wstring WindowsPathFromEnv(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value)
        return {};
    std::wstring path(value, value + strlen(value));
    if (!path.empty() && path[0] == L'/')
        path = L"Z:" + path;  // Wine maps the Unix root to drive Z:
    for (auto& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

WizardProcess::~WizardProcess() { Terminate(); }

bool WizardProcess::Start(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return false;
    UniqueKernelHandle thread(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
    return true;
}

bool WizardProcess::StartWithTempFolder(const std::wstring& exe, const std::wstring& temp) {
    TempFolderForChildren own(temp);
    return Start(exe);
}

bool WizardProcess::IsRunning() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool WizardProcess::WaitForExit(DWORD milliseconds, DWORD* code) const {
    if (!process_ || WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0)
        return false;
    if (code)
        GetExitCodeProcess(process_.get(), code);
    return true;
}

double WizardProcess::ExitTime() const {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (IsRunning() || !process_ || !GetProcessTimes(process_.get(), &created, &exited, &kernel, &user))
        return 0;
    const ULONGLONG ticks = (static_cast<ULONGLONG>(exited.dwHighDateTime) << 32) | exited.dwLowDateTime;
    constexpr ULONGLONG kUnixEpoch = 116444736000000000ULL;  // 1970-01-01 in 100 ns steps since 1601
    return ticks < kUnixEpoch ? 0 : static_cast<double>(ticks - kUnixEpoch) / 1e7;
}

void WizardProcess::Terminate() {
    if (IsRunning()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
    }
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[1024] = {};
    // WM_GETTEXT reaches other processes' controls, unlike GetWindowText.
    SendMessageTimeoutW(hwnd, WM_GETTEXT, _countof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return text;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, _countof(name));
    return name;
}

namespace {

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectVisibleWindow(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->processId && IsWindowVisible(hwnd))
        search->found.push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> VisibleWindows(DWORD processId) {
    WindowSearch search{processId, {}};
    EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, const std::function<bool(HWND)>& match, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do {
        for (HWND hwnd : VisibleWindows(processId))
            if (match(hwnd))
                return hwnd;
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

HWND WaitForWindowTitled(DWORD processId, const std::wstring& title, DWORD milliseconds) {
    return WaitForWindow(processId, [&](HWND hwnd) { return WindowText(hwnd) == title; }, milliseconds);
}

std::wstring MessageBoxText(HWND box) {
    std::wstring longest;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_wcsicmp(ClassName(child).c_str(), L"Static") != 0)
            continue;
        std::wstring text = WindowText(child);
        if (text.size() > longest.size())
            longest = text;
    }
    return longest;
}

void ClickButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace testing_support

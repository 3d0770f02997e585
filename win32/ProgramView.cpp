#include "win32/ProgramView.h"

#include <cwctype>

namespace {

constexpr bool kIs64BitProcess = sizeof(void*) == 8;

bool StartsWithFolder(const std::wstring& path, const std::wstring& folder) {
    if (path.size() < folder.size() || (path.size() > folder.size() && path[folder.size()] != L'\\'))
        return false;
    for (size_t i = 0; i < folder.size(); ++i)
        if (std::towlower(path[i]) != std::towlower(folder[i]))
            return false;
    return true;
}

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

}  // namespace

bool Is64BitWindows() {
    if (kIs64BitProcess)
        return true;
    static const bool wow64 = [] {
        BOOL result = FALSE;
        return IsWow64Process(GetCurrentProcess(), &result) && result;
    }();
    return wow64;
}

std::wstring ProgramFileSystemPath(const std::wstring& path, const std::wstring& windowsFolder, bool redirect) {
    if (!redirect || windowsFolder.empty())
        return path;
    const std::wstring system32 = windowsFolder + L"\\System32";
    const std::wstring sysnative = windowsFolder + L"\\Sysnative";
    if (StartsWithFolder(path, sysnative))
        return system32 + path.substr(sysnative.size());
    if (!StartsWithFolder(path, system32))
        return path;
    // The folders that WOW64 leaves in place.
    for (const wchar_t* exempt : {L"\\catroot", L"\\catroot2", L"\\drivers\\etc", L"\\logfiles", L"\\spool"})
        if (StartsWithFolder(path, system32 + exempt))
            return path;
    return windowsFolder + L"\\SysWOW64" + path.substr(system32.size());
}

std::wstring ProgramFileSystemPath(const std::wstring& path) {
    if (!kIs64BitProcess)
        return path;
    static const std::wstring windowsFolder = WindowsFolder();
    return ProgramFileSystemPath(path, windowsFolder, true);
}

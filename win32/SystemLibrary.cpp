#include "win32/SystemLibrary.h"

#include <string>

void RestrictDllSearchToSystemFolder() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    // Looked up rather than imported: without it the program would not start where it is missing.
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return module;
    if (GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    // The search flags are unknown before KB2533623: the full path, and the DLL's own folder searched
    // before the program's for whatever it loads.
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Stands in for a DLL that someone left beside the program: when any process loads it, it leaves
// "<its own path>.loaded" next to itself, whatever name it was given.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    lstrcpyW(path + length, L".loaded");
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    return TRUE;
}

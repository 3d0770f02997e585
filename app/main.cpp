#include <windows.h>
#include <delayimp.h>

#include <string>

#include "app/TrelvoApp.h"
#include "win32/SystemLibrary.h"

namespace {

// The delay-loaded system DLLs come from System32 even where the search could not be limited.
FARPROC WINAPI LoadDelayedFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || !info || !info->szDll)
        return nullptr;
    const std::string name(info->szDll);
    return reinterpret_cast<FARPROC>(LoadSystemLibrary(std::wstring(name.begin(), name.end()).c_str()));
}

}  // namespace

extern "C" {
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedFromSystemFolder;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RestrictDllSearchToSystemFolder();
    CTrelvoApp app;
    app.InitInstance();
    return 0;
}

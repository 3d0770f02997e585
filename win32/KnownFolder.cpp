#include "win32/KnownFolder.h"

std::wstring KnownFolderPath(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        result = path;
    CoTaskMemFree(path);  // also owed when the call fails
    return result;
}

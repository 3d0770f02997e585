#include "install/TemporaryFolder.h"

#include <windows.h>

#include <exception>
#include <string>

#include "config/ConfigurationManager.h"
#include "win32/Handle.h"

namespace {

void DeleteAtRestart(const std::wstring& path) { MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT); }

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

void DeleteFileOrLater(const std::wstring& path) {
    if (DeleteFileW(path.c_str()))
        return;
    DWORD error = GetLastError();
    // Extracted files may carry the read-only attribute, which alone denies deletion.
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        if (DeleteFileW(path.c_str()))
            return;
        error = GetLastError();
    }
    if (!IsGone(error))
        DeleteAtRestart(path);
}

void DeleteFolderContents(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((folder + L"\\*.*").c_str(), &data));
    if (!find)
        return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring path = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            DeleteFolderTree(path);
        else
            DeleteFileOrLater(path);
    } while (FindNextFileW(find.get(), &data));
}

}  // namespace

// The run's private folder goes even when it is empty, so that no run leaves one behind.
void DeleteFolderTree(const std::wstring& folder) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    // A junction or link is removed as it is: following it would delete someone else's files.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        DeleteFolderContents(folder);
    if (RemoveDirectoryW(folder.c_str()))
        return;
    if (!IsGone(GetLastError()))
        DeleteAtRestart(folder);  // after whatever inside it was scheduled, so it is empty by then
}

void RemoveTemporaryFolder() {
    try {
        auto config = ConfigurationManager::GetInstance();
        config->tempFolderLock.reset();  // it denies deletion, to us as well
        std::wstring folder = config->tempFolder;
        if (!folder.empty())
            DeleteFolderTree(folder);
    } catch (const std::exception&) {
        // The wizard is ending; whatever is left stays in the user's temporary folder.
    }
}

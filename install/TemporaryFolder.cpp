#include "install/TemporaryFolder.h"

#include <windows.h>

#include <exception>
#include <string>

#include "config/ConfigurationManager.h"
#include "install/RunningInstallers.h"
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

bool IsKept(const std::wstring& folder, const std::vector<std::wstring>& kept) {
    for (const auto& k : kept)
        if (CompareStringOrdinal(folder.c_str(), -1, k.c_str(), -1, TRUE) == CSTR_EQUAL)
            return true;
    return false;
}

// Calls visit(path, attributes) for each entry of the folder.
template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((folder + L"\\*.*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            visit(folder + L"\\" + name, data.dwFileAttributes);
    } while (FindNextFileW(find.get(), &data));
}

// A running installer's folder: everything in it goes at the next restart, nothing now. Windows would
// refuse to delete the running image anyway; other systems would let it go and break the installer.
void ScheduleTreeAtRestart(const std::wstring& folder) {
    ForEachEntry(folder, [](const std::wstring& path, DWORD attributes) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ScheduleTreeAtRestart(path);
        else
            DeleteAtRestart(path);
    });
    DeleteAtRestart(folder);
}

void DeleteFolderContents(const std::wstring& folder, const std::vector<std::wstring>& kept) {
    ForEachEntry(folder, [&](const std::wstring& path, DWORD attributes) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            DeleteFolderTree(path, kept);
        else
            DeleteFileOrLater(path);
    });
}

}  // namespace

// The run's private folder goes even when it is empty, so that no run leaves one behind.
void DeleteFolderTree(const std::wstring& folder, const std::vector<std::wstring>& kept) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    // A junction or link is removed as it is: following it would delete someone else's files.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (IsKept(folder, kept)) {
            ScheduleTreeAtRestart(folder);
            return;
        }
        DeleteFolderContents(folder, kept);
    }
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
            DeleteFolderTree(folder, FoldersOfRunningInstallers());
    } catch (const std::exception&) {
        // The wizard is ending; whatever is left stays in the user's temporary folder.
    }
}

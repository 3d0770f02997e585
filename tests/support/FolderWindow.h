// The desktop shell's folder windows, as a user sees them: which folder one shows and what it lists.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// The signed-in user's Downloads folder; "" when the shell names none.
std::wstring DownloadsFolder();
// The name the shell shows for a folder (the title of a window that shows it).
std::wstring FolderDisplayName(const std::wstring& folder);
// The names a folder window lists, read from the shell's process.
std::vector<std::wstring> FolderWindowItems(HWND window);
// Polls until a shell folder window titled `title` lists `item`; null on time-out.
HWND WaitForFolderWindow(const std::wstring& title, const std::wstring& item, DWORD milliseconds = 30000);
// Closes every shell folder window titled `title`, as its close box would.
void CloseFolderWindows(const std::wstring& title);

}  // namespace testing_support

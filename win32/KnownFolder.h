// The shell's known folders by id.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

// The folder's path as the current user sees it; empty when the shell knows no such folder here.
std::wstring KnownFolderPath(REFKNOWNFOLDERID id);

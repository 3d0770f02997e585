// DLLs from the system folder only. The wizard runs elevated and is usually started from the user's
// Downloads, where anyone can leave a DLL named like one the program loads.
#pragma once
#include <windows.h>

// Limits the search of every later load to System32 (SetDefaultDllDirectories, Windows 8, or 7 with
// KB2533623); where that is missing, at least takes the current directory out of it. Call it first.
void RestrictDllSearchToSystemFolder();

// Loads a system DLL (a bare file name) from System32, its own imports searched there first.
// Null on failure, with GetLastError set.
HMODULE LoadSystemLibrary(const wchar_t* name);

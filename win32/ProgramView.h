// What the 32-bit program sees of 64-bit Windows. WOW64 does this for the i686 build; the x86-64 build
// does the same explicitly, so both builds read, write and report the same things on one system.
#pragma once
#include <windows.h>

#include <string>

// True on 64-bit Windows: this process runs under WOW64, or it is itself a 64-bit program.
bool Is64BitWindows();

// The view of a registry access that names none: the 32-bit program's own. 32-bit Windows ignores it.
constexpr REGSAM kProgramRegistryView = KEY_WOW64_32KEY;
constexpr REGSAM WithProgramRegistryView(REGSAM access) {
    return (access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY)) ? access : access | kProgramRegistryView;
}

// A path as the 32-bit program's file system redirection resolves it: in a 64-bit process on 64-bit
// Windows, System32 (but its exempt folders) becomes SysWOW64 and Sysnative becomes System32. Any other
// path, and every path in a 32-bit process, is returned as given.
std::wstring ProgramFileSystemPath(const std::wstring& path);
std::wstring ProgramFileSystemPath(const std::wstring& path, const std::wstring& windowsFolder, bool redirect);

// The running Windows version, as the wizard's rules and reports need it.
#pragma once
#include <windows.h>

#include <string>

// Whether Windows is at least major.minor with service pack `servicePackMajor` (one comparison over all three).
bool IsWindowsVersionAtLeast(WORD major, WORD minor, WORD servicePackMajor);
// 6.1, not 6.2 or later.
bool IsWindows7();
// Major, minor and build number of the running Windows joined by dots; "" when unavailable.
std::string GetOsVersionString();
// Major and minor number of the running Windows; false when unavailable.
bool ReadWindowsMajorMinor(DWORD& major, DWORD& minor);
// Major and minor number joined by a dot ("10.0", "6.1"); "" when unavailable.
std::string GetOsMajorMinorString();
